// The seat plan of an iteration, the players' commands and the scoring of the games.
#include "tools/tune/SpsaGames.hpp"

#include <algorithm>
#include <filesystem>

#include "arena/PlayerList.hpp"
#include "arena/Standings.hpp"
#include "arena/Tournament.hpp"
#include "tools/tune/TuneMaps.hpp"

namespace {

const char* const EntryNames[] = {"plus", "minus", "current"};

// The seat of the named player in a result; the seat count when it is not there.
std::size_t seatOf(const GameResult& result, const std::string& name) {
    const auto seat = std::find_if(result.seats.begin(), result.seats.end(),
                                   [&name](const SeatResult& s) { return s.player == name; });
    return static_cast<std::size_t>(seat - result.seats.begin());
}

} // namespace

// Over n consecutive pairs plus sits in every seat once; minus sits 1, 2, ..., n - 1 seats
// after it in turn from one round of n pairs to the next.
SeatPlan planIteration(const std::vector<TuneMap>& maps, unsigned k, unsigned pairs,
                       std::uint32_t seed) {
    SeatPlan plan;
    for (unsigned p = 0; p < pairs && !maps.empty(); ++p) {
        const std::size_t run = static_cast<std::size_t>(k) * pairs + p;
        const TuneMap& map = maps[run % maps.size()];
        const std::size_t n = std::max<std::size_t>(map.seats, 2);
        const std::size_t a = run % n;
        const std::size_t b = (a + 1 + (run / n) % (n - 1)) % n;
        for (const bool swapped : {false, true}) {
            PlannedGame game;
            game.index = static_cast<unsigned>(plan.size() + 1);
            game.map = map.path;
            game.seats.assign(map.seats, CurrentEntry);
            game.seats[swapped ? b : a] = PlusEntry;
            game.seats[swapped ? a : b] = MinusEntry;
            game.seed = seed + static_cast<std::uint32_t>(run) * 64u + (swapped ? 16u : 0u);
            plan.push_back(std::move(game));
        }
    }
    return plan;
}

void addOutcome(const GameResult& result, PairCounts& counts) {
    const std::size_t plus = seatOf(result, EntryNames[PlusEntry]);
    const std::size_t minus = seatOf(result, EntryNames[MinusEntry]);
    if (result.status != GameStatus::Finished || plus >= result.seats.size() ||
        minus >= result.seats.size()) {
        return;
    }
    const auto ranks = ranksOf(result);
    (ranks[plus] < ranks[minus]   ? counts.wins
     : ranks[plus] > ranks[minus] ? counts.losses
                                  : counts.draws) += 1;
}

std::string paramArguments(const SearchParams& params, const std::vector<SpsaParam>& tuned) {
    std::string arguments;
    for (const ParamInfo* info : paramsToName(params, tuned)) {
        arguments +=
            " --param " + shellQuote(std::string(info->name) + "=" + paramText(params, *info));
    }
    return arguments;
}

SpsaGames::SpsaGames(std::vector<TuneMap> maps, const GameSettings& settings, std::string aiCommand,
                     std::vector<SpsaParam> tuned, unsigned pairs, unsigned concurrency,
                     std::uint32_t seed)
    : m_maps(std::move(maps)), m_settings(settings), m_aiCommand(std::move(aiCommand)),
      m_tuned(std::move(tuned)), m_pairs(pairs), m_concurrency(concurrency), m_seed(seed) {}

SeatPlan SpsaGames::plan(unsigned k) const {
    return planIteration(m_maps, k, m_pairs, m_seed + k * 7919u);
}

GameSettings SpsaGames::settingsFor(unsigned k, const SpsaPair& pair) const {
    GameSettings settings = m_settings;
    settings.gamesDir = gamesDir(k);
    const SearchParams* const sides[] = {&pair.plus, &pair.minus, &pair.current};
    for (std::size_t entry = 0; entry < std::size(sides); ++entry) {
        settings.players.push_back(
            {EntryNames[entry], m_aiCommand + paramArguments(*sides[entry], m_tuned)});
    }
    return settings;
}

RunRequest SpsaGames::request(SeatPlan games) const {
    RunRequest request;
    for (const PlannedGame& game : games) {
        const auto map = std::find_if(m_maps.begin(), m_maps.end(),
                                      [&game](const TuneMap& m) { return m.path == game.map; });
        request.bounds.push_back(map->bound);
    }
    request.games = std::move(games);
    request.concurrency = m_concurrency;
    request.showProgress = false;
    return request;
}

std::string SpsaGames::gamesDir(unsigned k) const {
    return m_settings.gamesDir + "/iteration" + std::to_string(k + 1);
}

// Here the games folder holds only the iteration being played: the files of those before are
// removed first.
std::optional<PairCounts> SpsaGames::play(unsigned k, const SpsaPair& pair) const {
    std::error_code error;
    std::filesystem::remove_all(m_settings.gamesDir, error);
    std::filesystem::create_directories(gamesDir(k), error);
    if (error) {
        LOG(tuneLogger(), FATAL) << "Cannot create " << gamesDir(k) << ": " << error.message();
        return std::nullopt;
    }
    PairCounts counts;
    const RunEnd end =
        runGames(request(plan(k)), settingsFor(k, pair), [&counts](const GameResult& result) {
            addOutcome(result, counts);
            return false;
        });
    return end == RunEnd::Completed ? std::optional<PairCounts>(counts) : std::nullopt;
}

bool SpsaGames::playOne(unsigned k, const SpsaPair& pair, unsigned index) const {
    const SeatPlan games = plan(k);
    if (index == 0 || index > games.size()) {
        LOG(tuneLogger(), FATAL) << "An iteration has only " << games.size() << " games";
        return false;
    }
    const GameSettings settings = settingsFor(k, pair);
    GameResult result;
    if (findPlayed(settings.gamesDir, games[index - 1], settings.players, result) ==
        PlayedState::Played) {
        LOG(tuneLogger(), INFO) << "Game " << index << " has been played already";
        return true;
    }
    std::error_code error;
    std::filesystem::create_directories(settings.gamesDir, error);
    bool finished = false;
    const RunEnd end =
        runGames(request({games[index - 1]}), settings, [&finished](const GameResult& result) {
            finished = result.status != GameStatus::Failed;
            return false;
        });
    return end == RunEnd::Completed && finished;
}

// The outcomes of the games of iteration k that have a result in the games folder, and the
// games that have none.
SeatPlan SpsaGames::gather(unsigned k, PairCounts& counts) const {
    std::vector<PlayerEntry> entries;
    for (const char* name : EntryNames) {
        entries.push_back({name, ""});
    }
    SeatPlan missing;
    for (const PlannedGame& game : plan(k)) {
        GameResult result;
        if (findPlayed(gamesDir(k), game, entries, result) == PlayedState::Played) {
            addOutcome(result, counts);
        } else {
            missing.push_back(game);
        }
    }
    return missing;
}

SeatPlan SpsaGames::missing(unsigned k) const {
    PairCounts counts;
    return gather(k, counts);
}

std::optional<PairCounts> SpsaGames::collect(unsigned k) const {
    PairCounts counts;
    const SeatPlan left = gather(k, counts);
    if (!left.empty()) {
        LOG(tuneLogger(), FATAL) << left.size() << " of the " << plan(k).size()
                                 << " games of iteration " << k + 1 << " have no result in "
                                 << gamesDir(k) << " yet (the first: game " << left.front().index
                                 << ")";
        return std::nullopt;
    }
    return counts;
}

void SpsaGames::discard(unsigned k) const {
    std::error_code error;
    std::filesystem::remove_all(gamesDir(k), error);
}
