#include "tools/map/MapTool.hpp"

#include <algorithm>
#include <iostream>
#include <random>

#include "common/Logging.hpp"
#include "common/Subcommands.hpp"
#include "tools/map/MapCommands.hpp"

const std::vector<MapTool::Command>& MapTool::commands() {
    static const std::vector<Command> table = {
        {"check",
         {{"check FILE...", "read maps, list their problems; status 0 if all valid"}},
         {},
         &MapTool::check},
        {"format",
         {{"format FILE [-i | -o OUT]", "write a valid map in the standard layout"}},
         {"in-place", "output"},
         &MapTool::format},
        {"stats",
         {{"stats FILE [--games N --seed S]", "figures and start fairness, optional greedy "
                                              "self-play"}},
         {"games", "seed"},
         &MapTool::stats},
        {"render",
         {{"render FILE -o OUT.svg", "picture of a map"},
          {"render --record REC [--move N] -o OUT.svg",
           "position after N events of a game record"}},
         {"record", "move", "output"},
         &MapTool::render},
        {"replay",
         {{"replay REC -o OUT.html", "web page that replays a game record"}},
         {"output"},
         &MapTool::replay},
        {"generate",
         {{"generate --players N --size WxH [--holes P] [--transitions K] [--specials c,i,b,x] "
           "[--overrides N] [--bombs N,STRENGTH] [--seed S] [-o OUT.map]",
           "random valid map that is fair to every seat"}},
         {"players", "size", "holes", "transitions", "specials", "overrides", "bombs", "seed",
          "output"},
         &MapTool::generate},
    };
    return table;
}

// One line per form: the synopsis in a column of 34 characters and what it does; a synopsis
// too long for one line is broken before an option and its text gets a line of its own.
std::string MapTool::usage() {
    constexpr std::size_t Column = 34;
    constexpr std::size_t Width = 90;
    std::string text = "usage: reversi-map COMMAND [FILE...] [options]\n";
    for (const Command& command : commands()) {
        for (const CommandForm& form : command.forms) {
            const std::string synopsis = form.synopsis;
            if (synopsis.size() > Width) {
                const std::size_t cut = synopsis.rfind(" [", Width);
                text += "  " + synopsis.substr(0, cut) + "\n           " +
                        synopsis.substr(cut + 1) + "\n" + std::string(Column + 2, ' ');
            } else {
                text += "  " + synopsis +
                        std::string(synopsis.size() < Column ? Column - synopsis.size() : 3, ' ');
            }
            text += std::string(form.what) + "\n";
        }
    }
    return text;
}

// Every option is declared for every subcommand, so that --help lists them all; each one
// notes its long name when met, for chosenCommand.
bool MapTool::parseOptions(OPTA::ArgumentParser& parser) {
    const auto note = [this](const char* name) {
        return [this, name](const auto&, const auto&) { m_given.push_back(name); };
    };
    OPTA::VariableArgument<std::string> command(m_command, commandNames(commands()));
    command.valuename("COMMAND");
    OPTA::VariableArgument<std::string> file(m_lastFile, "Map or record files");
    file.valuename("FILE").min(0).max(0);
    file.check_typed([this](const auto&, const std::string& value) { m_files.push_back(value); });
    OPTA::VariableArgument<std::string> output(m_output, "Write the result to this &output file");
    output.valuename("file").check_typed(note("output"));
    OPTA::SwitchArgument inPlace(m_inPlace, "format: rewrite the file in place", 'i', "in-place");
    inPlace.check_typed(note("in-place"));
    OPTA::VariableArgument<std::string> record(m_record, "render: the game &record to show");
    record.valuename("file").check_typed(note("record"));
    OPTA::VariableArgument<unsigned> move(m_move, "render: show the position after N events",
                                          "move");
    move.valuename("N").check_typed(note("move"));
    OPTA::VariableArgument<unsigned> games(m_games, "stats: greedy self-play games", "games");
    games.valuename("N").check_typed(note("games"));
    OPTA::VariableArgument<std::uint32_t> seed(m_seed, "stats, generate: random seed", "seed");
    seed.valuename("S").check_typed(note("seed"));
    OPTA::VariableArgument<unsigned> players(m_players, "generate: players 2 ... 8 (2)", "players");
    players.valuename("N").check_typed(note("players"));
    OPTA::VariableArgument<std::string> size(m_size, "generate: width x height (8x8)", "size");
    size.valuename("WxH").check_typed(note("size"));
    OPTA::VariableArgument<unsigned> holes(m_holes, "generate: per cent of holes (0)", "holes");
    holes.valuename("P").check_typed(note("holes"));
    OPTA::VariableArgument<unsigned> transitions(m_transitions, "generate: transitions (0)",
                                                 "transitions");
    transitions.valuename("K").check_typed(note("transitions"));
    OPTA::VariableArgument<std::string> specials(
        m_specials, "generate: choice, inversion, bonus, expansion squares (0,0,0,0)", "specials");
    specials.valuename("c,i,b,x").check_typed(note("specials"));
    OPTA::VariableArgument<unsigned> overrides(m_overrides, "generate: override stones (0)",
                                               "overrides");
    overrides.valuename("N").check_typed(note("overrides"));
    OPTA::VariableArgument<std::string> bombs(m_bombs, "generate: bombs and strength (0,0)",
                                              "bombs");
    bombs.valuename("N,STRENGTH").check_typed(note("bombs"));
    parser.arguments()
        .add(command)
        .add(file)
        .add(output)
        .add(inPlace)
        .add(record)
        .add(move)
        .add(games)
        .add(seed)
        .add(players)
        .add(size)
        .add(holes)
        .add(transitions)
        .add(specials)
        .add(overrides)
        .add(bombs);
    parser.program_name("reversi-map");
    if (!Tool::parseOptions(parser)) {
        return false;
    }
    m_moveGiven = std::count(m_given.begin(), m_given.end(), "move") > 0;
    m_seedGiven = std::count(m_given.begin(), m_given.end(), "seed") > 0;
    return true;
}

const MapTool::Command* MapTool::chosenCommand() const {
    return chooseCommand(commands(), "reversi-map", m_command, m_given, usage());
}

bool MapTool::oneFile(std::string& file) const {
    if (m_files.size() != 1) {
        std::cerr << "reversi-map: " << m_command << " takes one file\n" << usage();
        return false;
    }
    file = m_files.front();
    return true;
}

bool MapTool::generatorOptions(GeneratorOptions& options) const {
    unsigned specials[4] = {};
    unsigned bombs[2] = {};
    if (!parseSize(m_size, options.width, options.height)) {
        std::cerr << "reversi-map: --size wants WIDTHxHEIGHT, each 1 ... 50, not " << m_size
                  << '\n';
        return false;
    }
    if (!parseNumberList(m_specials, 4, 2500, specials)) {
        std::cerr << "reversi-map: --specials wants four numbers c,i,b,x, not " << m_specials
                  << '\n';
        return false;
    }
    if (!parseNumberList(m_bombs, 2, 255, bombs)) {
        std::cerr << "reversi-map: --bombs wants N,STRENGTH, not " << m_bombs << '\n';
        return false;
    }
    options.players = m_players;
    options.holes = m_holes;
    options.transitions = m_transitions;
    options.choice = specials[0];
    options.inversion = specials[1];
    options.bonus = specials[2];
    options.expansion = specials[3];
    options.overrides = m_overrides;
    options.bombs = bombs[0];
    options.bombStrength = bombs[1];
    options.seed = m_seedGiven ? m_seed : std::random_device{}();
    return true;
}

// The rules engine's own log lines (a disqualification while replaying) are not the output of
// this program.
bool MapTool::doRun() {
    const Command* command = chosenCommand();
    if (command == nullptr) {
        return false;
    }
    Logging::setLogLevel(loggerGame, logcraft::LogLevel::WARN);
    return (this->*command->run)();
}

bool MapTool::check() {
    if (m_files.empty()) {
        std::cerr << "reversi-map: check needs at least one file\n";
        return false;
    }
    return runCheck(m_files, std::cout);
}

bool MapTool::format() {
    std::string file;
    if (m_inPlace && !m_output.empty()) {
        std::cerr << "reversi-map: format takes either -i or -o\n";
        return false;
    }
    return oneFile(file) && runFormat(file, m_inPlace, m_output);
}

bool MapTool::stats() {
    std::string file;
    return oneFile(file) && runStats(file, m_games, m_seed, std::cout);
}

// A map file or a record, never both; without a record the one file is the map.
bool MapTool::render() {
    std::string file;
    if (!m_record.empty() && !m_files.empty()) {
        std::cerr << "reversi-map: render takes a map file or --record, not both\n";
        return false;
    }
    if (m_record.empty() && !oneFile(file)) {
        return false;
    }
    const auto move = m_moveGiven ? std::optional<unsigned>(m_move) : std::nullopt;
    if (move && m_record.empty()) {
        std::cerr << "reversi-map: --move needs --record\n";
        return false;
    }
    return runRender(file, m_record, move, m_output);
}

bool MapTool::replay() {
    std::string file;
    return oneFile(file) && runReplay(file, m_output);
}

bool MapTool::generate() {
    GeneratorOptions options;
    if (!m_files.empty()) {
        std::cerr << "reversi-map: generate takes no file\n";
        return false;
    }
    if (!generatorOptions(options)) {
        return false;
    }
    if (!m_seedGiven) {
        std::cerr << "reversi-map: seed " << options.seed << std::endl;
    }
    return runGenerate(options, m_output);
}
