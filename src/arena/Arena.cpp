#include "arena/Arena.hpp"

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <random>
#include <set>
#include <sstream>
#include <thread>

#include <sys/resource.h>
#include <unistd.h>

#include "arena/Tournament.hpp"
#include "common/FileIO.hpp"
#include "common/Logging.hpp"
#include "common/Map.hpp"

namespace fs = std::filesystem;

namespace {

// Bounds on what the command line may ask for, so that a typo cannot make the arena plan
// billions of games or start thousands at once.
constexpr unsigned MaxGamesPerMap = 1000000;
constexpr unsigned MaxConcurrency = 256;

std::string absolute(const std::string& path) {
    std::error_code error;
    const fs::path full = fs::absolute(path, error);
    return error ? path : full.lexically_normal().string();
}

std::string selfPath() {
    std::error_code error;
    const fs::path self = fs::read_symlink("/proc/self/exe", error);
    return error ? "reversi-arena" : self.string();
}

// The text of a file that may be missing; empty then, which no parser accepts.
std::string textOrNothing(const std::string& path) {
    std::string text, reason;
    readWholeFile(path, text, reason);
    return text;
}

std::string gamesDirOf(const std::string& out) {
    return (fs::path(out) / "games").string();
}

} // namespace

// The arena's options, each bound to the field of the Arena it fills; the repeatable ones
// collect their values through a slot of their own.
struct Arena::CommandLine {
    explicit CommandLine(Arena& arena);
    void addTo(OPTA::ArgumentParser& parser);

    std::string playerSlot, mapSlot;
    OPTA::VariableArgument<std::string> player, map;
    OPTA::VariableArgument<unsigned> games;
    OPTA::VariableArgument<std::uint32_t> timelimit;
    OPTA::VariableArgument<unsigned> depthlimit, concurrency;
    OPTA::VariableArgument<std::string> out;
    OPTA::VariableArgument<std::uint32_t> seed;
    OPTA::VariableArgument<std::string> sprt, jobs;
    OPTA::VariableArgument<unsigned> single;
    OPTA::VariableArgument<std::string> collectDir, server;
};

Arena::CommandLine::CommandLine(Arena& arena)
    : player(listOption(playerSlot, arena.m_playerOptions,
                        "A player: a name and the shell command that starts it, "
                        "{host} {port} {seed} {seat} replaced (repeatable)",
                        0, "player", "name=command")),
      map(listOption(mapSlot, arena.m_maps, "A map to play on (repeatable)", 'm', "map", "file")),
      games(arena.m_games, "Games per map (default 10)", 'g', "games"),
      timelimit(arena.m_timelimit, "Milliseconds per move (default 1000, 0 for none)", 't',
                "timelimit"),
      depthlimit(arena.m_depthlimit, "Depth limit sent to the players", 'd', "depthlimit"),
      concurrency(arena.m_concurrency, "Games at a time (default: the number of cores)", 'j',
                  "concurrency"),
      out(arena.m_out, "Folder for records, logs and results (default arena-results)", 'o', "out"),
      seed(arena.m_seed, "Seed for the players' {seed}", 's', "seed"),
      sprt(arena.m_sprtText, "Stop when a sequential test decides between two players", "sprt"),
      jobs(arena.m_jobsFile, "Write one shell command per game to a file", "emit-jobs"),
      single(arena.m_singleGame, "Play only game k of the tournament", "single-game"),
      collectDir(arena.m_collectDir, "Build the results from the files in a folder", "collect"),
      server(arena.m_serverPath, "The reversi-server program", "server") {
    games.valuename("n");
    timelimit.valuename("ms");
    depthlimit.valuename("n");
    concurrency.valuename("n");
    out.valuename("dir");
    seed.valuename("n");
    sprt.valuename("elo0,elo1[,alpha,beta]");
    jobs.valuename("file");
    single.valuename("k");
    collectDir.valuename("dir");
    server.valuename("path");
}

void Arena::CommandLine::addTo(OPTA::ArgumentParser& parser) {
    parser.arguments()
        .add(player)
        .add(map)
        .add(games)
        .add(timelimit)
        .add(depthlimit)
        .add(concurrency)
        .add(out)
        .add(seed)
        .add(sprt)
        .add(jobs)
        .add(single)
        .add(collectDir)
        .add(server);
}

// Every mistake on the command line is reported, each on a line of its own, before the
// program gives up.
bool Arena::parseOptions(OPTA::ArgumentParser& parser) {
    CommandLine line(*this);
    line.addTo(parser);
    if (!Tool::parseOptions(parser)) {
        return false;
    }
    m_seedGiven = line.seed.is_set();
    std::vector<std::string> errors;
    checkModes(line, errors);
    readSprt(line, errors);
    readPlayers(errors);
    checkLimits(line, errors);
    for (const std::string& error : errors) {
        std::cerr << error << '\n';
    }
    std::cerr << std::flush;
    return errors.empty();
}

void Arena::checkModes(const CommandLine& line, std::vector<std::string>& errors) const {
    if (line.jobs.is_set() + line.single.is_set() + line.collectDir.is_set() > 1) {
        errors.push_back("Give at most one of --emit-jobs, --single-game and --collect");
    }
    if (line.single.is_set() && m_singleGame == 0) {
        errors.push_back("Games are numbered from 1");
    }
}

void Arena::readSprt(const CommandLine& line, std::vector<std::string>& errors) {
    if (!line.sprt.is_set()) {
        return;
    }
    SprtParameters parameters;
    if (parseSprtParameters(m_sprtText, parameters)) {
        m_sprt = parameters;
    } else {
        errors.push_back("Invalid --sprt " + m_sprtText +
                         ": give elo0,elo1[,alpha,beta] with "
                         "elo0 < elo1 and error rates in (0, 0.5]");
    }
}

// A name may come several times, but always with the same command.
void Arena::readPlayers(std::vector<std::string>& errors) {
    for (const std::string& text : m_playerOptions) {
        PlayerEntry entry;
        if (!parsePlayerOption(text, entry)) {
            errors.push_back("Invalid --player " + text +
                             ": give name=command with a name of letters, "
                             "digits, _ - .");
            continue;
        }
        const auto clash = std::find_if(m_players.begin(), m_players.end(), [&](const auto& other) {
            return other.name == entry.name && other.command != entry.command;
        });
        if (clash != m_players.end()) {
            errors.push_back("The player " + entry.name + " is given with two different commands");
        }
        m_players.push_back(entry);
    }
}

void Arena::checkLimits(const CommandLine& line, std::vector<std::string>& errors) const {
    if (m_games > MaxGamesPerMap || m_concurrency > MaxConcurrency) {
        errors.push_back("Give at most " + std::to_string(MaxGamesPerMap) + " games per map and " +
                         std::to_string(MaxConcurrency) + " games at a time");
    }
    if (m_depthlimit > 255) {
        errors.push_back("The depth limit travels as one byte: give 0 to 255");
    }
    if (!line.collectDir.is_set() && (m_players.empty() || m_maps.empty() || m_games == 0)) {
        errors.push_back("Give at least one --player, one --map and --games of 1 or more");
    }
}

bool Arena::doRun() {
    if (!m_collectDir.empty()) {
        return collect();
    }
    if (!prepare()) {
        return false;
    }
    if (!m_jobsFile.empty()) {
        return emitJobs();
    }
    return m_singleGame != 0 ? runSingleGame() : runLive();
}

bool Arena::prepare() {
    if (!m_seedGiven) {
        m_seed = std::random_device{}();
    }
    std::vector<std::size_t> seats;
    for (std::string& path : m_maps) {
        path = absolute(path);
        Map map;
        const MapLoad load = map.readFile(path);
        if (load == MapLoad::INVALID) {
            LOG(arenaLogger(), FATAL) << "Invalid map " << path;
        }
        if (load != MapLoad::VALID) {
            return false;
        }
        seats.push_back(map.getPlayers());
        m_mapBounds.push_back(gameBound(m_timelimit, map.getWidth() * map.getHeight(),
                                        map.getPlayers(), map.getOverrides(), map.getBombs()));
    }
    m_plan = planGames(m_maps, seats, m_games, m_players.size(), m_seed);
    m_settings.serverPath =
        m_serverPath.empty() ? siblingProgram("reversi-server") : absolute(m_serverPath);
    m_settings.players = m_players;
    m_out = absolute(m_out);
    m_settings.gamesDir = gamesDirOf(m_out);
    m_settings.timelimit = m_timelimit;
    m_settings.depthlimit = m_depthlimit;
    std::error_code error;
    fs::create_directories(m_settings.gamesDir, error);
    if (error) {
        LOG(arenaLogger(), FATAL) << "Cannot create " << m_settings.gamesDir << ": "
                                  << error.message();
        return false;
    }
    if (access(m_settings.serverPath.c_str(), X_OK) != 0) {
        LOG(arenaLogger(), FATAL) << "Cannot run " << m_settings.serverPath
                                  << "; give the server program with --server";
        return false;
    }
    if (m_games % m_players.size() != 0) {
        LOG(arenaLogger(), WARN) << "Seats are balanced only when --games is a multiple of the "
                                 << m_players.size() << " player entries";
    }
    return true;
}

std::vector<std::chrono::milliseconds>
Arena::boundsOf(const std::vector<PlannedGame>& games) const {
    std::vector<std::chrono::milliseconds> bounds;
    for (const PlannedGame& game : games) {
        const auto map = std::find(m_maps.begin(), m_maps.end(), game.map) - m_maps.begin();
        bounds.push_back(m_mapBounds[static_cast<std::size_t>(map)]);
    }
    return bounds;
}

// A game counts as done when its result file is there and it did not fail; a failed game, or
// one that left only a record (stopped half way), is played again.
bool Arena::sortOutDone(std::vector<PlannedGame>& missing, std::vector<GameResult>& results) const {
    for (const PlannedGame& game : m_plan) {
        GameResult result;
        const PlayedState state = findPlayed(m_settings.gamesDir, game, m_players, result);
        if (state == PlayedState::Foreign) {
            LOG(arenaLogger(), FATAL) << gameFile(m_settings.gamesDir, game.index, ".result")
                                      << " is a game of another tournament; "
                                      << "give another --out folder";
            return false;
        }
        if (state == PlayedState::Played) {
            results.push_back(result);
        } else {
            missing.push_back(game);
        }
    }
    return true;
}

bool Arena::runLive() {
    std::vector<PlannedGame> missing;
    std::vector<GameResult> results;
    if (!sortOutDone(missing, results)) {
        return false;
    }
    LOG(arenaLogger(), INFO) << "Playing " << missing.size() << " of " << m_plan.size()
                             << " games (seed " << m_seed << ") into " << m_out;
    RunRequest request;
    request.games = missing;
    request.bounds = boundsOf(missing);
    request.concurrency =
        m_concurrency > 0 ? m_concurrency : std::max(1u, std::thread::hardware_concurrency());
    Standings live;
    for (const auto& result : results) {
        live.add(result);
    }
    const auto sprt = sprtSetup(results);
    const std::size_t before = results.size();
    const auto started = Clock::now();
    const RunEnd end = runGames(request, m_settings, [&](const GameResult& result) {
        LOG(loggerMatchpoint, INFO) << matchpointLine(result);
        results.push_back(result);
        live.add(result);
        return sprt && evaluateSprt(sprt->parameters, live.headToHead(sprt->first, sprt->second))
                               .decision != SprtDecision::Continue;
    });
    const double wall = std::chrono::duration<double>(Clock::now() - started).count();
    rusage own{};
    getrusage(RUSAGE_SELF, &own);
    const double cpu = static_cast<double>(own.ru_utime.tv_sec + own.ru_stime.tv_sec) +
                       (own.ru_utime.tv_usec + own.ru_stime.tv_usec) / 1e6;
    LOG(arenaLogger(), INFO) << "Played " << results.size() - before << " games in " << wall
                             << " s; the arena itself used " << cpu << " s of CPU";
    if (end == RunEnd::PlayerCannotStart) {
        return false;
    }
    const bool reported = report(results, m_out, sprt);
    if (end == RunEnd::Interrupted) {
        LOG(arenaLogger(), WARN) << "Stopped by signal " << interruptingSignal()
                                 << "; run again with the same --out to play the missing games";
        return false;
    }
    if (end == RunEnd::Decided) {
        LOG(arenaLogger(), INFO) << "The SPRT has decided; the remaining games are not played";
    }
    return reported;
}

bool Arena::runSingleGame() {
    if (m_singleGame > m_plan.size()) {
        std::cerr << "The tournament has only " << m_plan.size() << " games" << std::endl;
        return false;
    }
    std::vector<PlannedGame> missing;
    std::vector<GameResult> results;
    if (!sortOutDone(missing, results)) {
        return false;
    }
    const PlannedGame& game = m_plan[m_singleGame - 1];
    if (std::none_of(missing.begin(), missing.end(),
                     [&](const PlannedGame& g) { return g.index == game.index; })) {
        LOG(arenaLogger(), INFO) << "Game " << game.index << " has been played already";
        return true;
    }
    RunRequest request;
    request.games = {game};
    request.bounds = boundsOf(request.games);
    request.showProgress = false;
    bool finished = false;
    const RunEnd end = runGames(request, m_settings, [&](const GameResult& result) {
        LOG(loggerMatchpoint, INFO) << matchpointLine(result);
        finished = result.status != GameStatus::Failed;
        return false;
    });
    return end == RunEnd::Completed && finished;
}

// Every job changes to the folder the arena was started in, so that relative paths in the
// player commands mean the same on every machine that shares the file system.
bool Arena::emitJobs() {
    std::ostringstream common;
    common << " --out " << shellQuote(m_out) << " --games " << m_games << " --timelimit "
           << m_timelimit << " --depthlimit " << m_depthlimit << " --seed " << m_seed
           << " --server " << shellQuote(m_settings.serverPath);
    for (const auto& path : m_maps) {
        common << " --map " << shellQuote(path);
    }
    for (const auto& text : m_playerOptions) {
        common << " --player " << shellQuote(text);
    }
    std::ostringstream jobs;
    const std::string start = "cd " + shellQuote(fs::current_path().string()) + " && " +
                              shellQuote(selfPath()) + " --single-game ";
    for (const PlannedGame& game : m_plan) {
        jobs << start << game.index << common.str() << '\n';
    }
    std::string reason;
    if (!writeFileAtomically(m_jobsFile, jobs.str(), reason)) {
        LOG(arenaLogger(), FATAL) << "Cannot write " << m_jobsFile << ": " << reason;
        return false;
    }
    LOG(arenaLogger(), INFO) << "Wrote " << m_plan.size() << " jobs to " << m_jobsFile
                             << "; collect with --collect " << m_out;
    return true;
}

bool Arena::collect() {
    const std::string dir = absolute(m_collectDir);
    std::error_code error;
    std::vector<GameResult> results;
    std::set<unsigned> seen;
    for (const auto& entry : fs::directory_iterator(gamesDirOf(dir), error)) {
        if (entry.path().extension() != ".result") {
            continue;
        }
        GameResult result;
        if (!parseGameResult(textOrNothing(entry.path()), result) ||
            !seen.insert(result.game).second) {
            LOG(arenaLogger(), WARN) << "Ignoring the result file " << entry.path().string();
            continue;
        }
        results.push_back(result);
    }
    if (error) {
        LOG(arenaLogger(), FATAL) << "Cannot read " << gamesDirOf(dir) << ": " << error.message();
        return false;
    }
    LOG(arenaLogger(), INFO) << "Collected " << results.size() << " games from " << dir;
    return report(results, dir, sprtSetup(results));
}

// The first two names in the order of the results (and, live, of the options) are the ones
// the test compares; it needs exactly two.
std::optional<Standings::SprtSetup> Arena::sprtSetup(const std::vector<GameResult>& results) const {
    if (!m_sprt) {
        return std::nullopt;
    }
    std::vector<std::string> names;
    const auto note = [&names](const std::string& name) {
        if (std::find(names.begin(), names.end(), name) == names.end()) {
            names.push_back(name);
        }
    };
    for (const PlayerEntry& entry : m_players) {
        note(entry.name);
    }
    for (const GameResult& result : results) {
        for (const SeatResult& seat : result.seats) {
            note(seat.player);
        }
    }
    if (names.size() != 2) {
        LOG(arenaLogger(), WARN) << "The SPRT needs exactly two players; it is left out";
        return std::nullopt;
    }
    return Standings::SprtSetup{names[0], names[1], *m_sprt};
}

bool Arena::report(std::vector<GameResult> results, const std::string& dir,
                   const std::optional<Standings::SprtSetup>& sprt) const {
    std::sort(results.begin(), results.end(),
              [](const GameResult& a, const GameResult& b) { return a.game < b.game; });
    Standings standings;
    for (const auto& result : results) {
        standings.add(result);
    }
    std::cout << standings.formatTable(sprt) << std::flush;
    const fs::path folder(dir);
    std::string reason;
    if (!writeFileAtomically(folder / "results.json", standings.formatJson(sprt), reason) ||
        !writeFileAtomically(folder / "results.csv", standings.formatCsv(), reason)) {
        LOG(arenaLogger(), ERR) << "Cannot write the results into " << dir << ": " << reason;
        return false;
    }
    return true;
}
