// The texts of every program's manual page, and the reading of its option declarations.
#include "tools/manpages/ProgramDocs.hpp"

#include "ai/AiPlayer.hpp"
#include "arena/Arena.hpp"
#include "bot/Bot.hpp"
#include "client/consoleClient.hpp"
#include "lobby/Lobby.hpp"
#include "server/GameServer.hpp"
#include "tools/map/MapTool.hpp"
#include "tools/perft/PerftTool.hpp"
#include "tools/tune/TuneTool.hpp"

namespace {

template <typename T>
std::function<std::unique_ptr<Tool>()> maker() {
    return [] { return std::make_unique<T>(); };
}

// The forms of a program with subcommands (reversi-map, reversi-tune) as its own table names
// them.
template <typename T>
std::vector<SubcommandDoc> subcommandsOf() {
    std::vector<SubcommandDoc> forms;
    for (const typename T::Command& command : T::commands()) {
        for (const typename T::CommandForm& form : command.forms) {
            forms.push_back({form.synopsis, form.what});
        }
    }
    return forms;
}

const std::vector<ProgramDoc> Programs{
    {"reversi-client",
     "console client for networked Reversi on arbitrary maps",
     {"Connects to a game server, sends its group id, receives the map and its player number "
      "and waits. On each move request it shows the board and asks the person at the console "
      "for the column X and the row Y (both counted from 0 at the top left); on a choice "
      "square it asks for the player to swap stones with, on a bonus square for 20 (an extra "
      "bomb) or 21 (an extra override stone). Invalid answers are asked again; end of input "
      "gives up the game.",
      "Log lines go to standard output. Colours are used only when standard output is a "
      "terminal and NO_COLOR is unset or empty."},
     "0 when the server ended the game normally",
     {},
     maker<ConsoleClient>()},
    {"reversi-server",
     "game server for networked Reversi on arbitrary maps",
     {"Listens for as many clients as the map has players (each must send its group id "
      "within 10 seconds), referees the game and disqualifies players that send illegal "
      "moves, exceed the time limit or disconnect. With a port of 0 it picks a free port and "
      "logs it as \"Listening on port N\".",
      "A game record holds the map, one line per move or disqualification and the final "
      "scores; reversi-map renders and replays it."},
     "0 after a finished game",
     {},
     maker<GameServer>()},
    {"reversi-bot",
     "greedy computer player for networked Reversi",
     {"A client that plays the legal move leaving it the most stones (in the bomb phase, the "
      "throw that removes the most opposing stones), breaking ties at random; a seed makes "
      "its games repeatable. Its default group id is 0."},
     "0 when the server ended the game normally",
     {},
     maker<Bot>()},
    {"reversi-ai",
     "searching computer player for networked Reversi",
     {"A client that answers each move request with the best move an iterative-deepening "
      "alpha-beta search finds in the time granted; with three or more players it uses "
      "best-reply or paranoid search, chosen by the map's players and size unless --search "
      "names one, or with --search mcts a Monte-Carlo tree search. One log line per move tells "
      "depth, nodes, speed, score and principal variation.",
      "With --analyse it plays no game: it searches the start of a map, or a position of a "
      "game record, and prints the result.",
      "Every number of the search and its evaluation is a parameter: --list-params prints "
      "them with default, range and meaning; --params reads NAME VALUE lines (# starts a "
      "comment) and --param NAME=VALUE sets one, in the order given. An unknown name or a "
      "value out of range ends the program with a message."},
     "0 when the server ended the game normally, the analysis was printed or the parameters "
     "were listed",
     {},
     maker<AiPlayer>()},
    {"reversi-arena",
     "tournaments between Reversi programs",
     {"Plays games between player programs, each game with its own reversi-server on a free "
      "port, and reports who is stronger: standings with Elo differences and their error "
      "margins, and optionally a sequential probability ratio test that stops as soon as it "
      "decides. Player commands have {host}, {port}, {seed} and {seat} replaced.",
      "The games can also be written as shell commands to run elsewhere, and the results "
      "collected from their files afterwards."},
     "0 when the tournament was played and its results written",
     {},
     maker<Arena>()},
    {"reversi-lobby",
     "game server where every team's program meets the others",
     {"Listens on one game port for clients of any group, at any time. Each client must send "
      "its group id within 10 seconds; it then waits in a queue and is seated (at a random "
      "seat) in the next game that the waiting clients can fill, the maps of the pool taken in "
      "turn. Clients of one group share a game only when no other group is waiting. Every game "
      "runs on its own, refereed as by reversi-server, and is stored with its seats, scores "
      "and record in an SQLite database. With a port of 0 it picks a free port and logs it as "
      "\"Listening on port N\".",
      "SIGINT or SIGTERM stop it: no new games start, running games may finish within 30 "
      "seconds, then the standings of every stored game are logged."},
     "0 after a stop request or the number of games asked for",
     {},
     maker<Lobby>()},
    {"reversi-map",
     "check, format, render, replay and generate Reversi maps",
     {"One program for the work around maps and game records, with a subcommand as its "
      "first word. Output goes to standard output unless -o names a file; problems go to "
      "standard error. Options that belong to another subcommand are refused."},
     "0 when the subcommand succeeded (for check: when every map is valid)",
     subcommandsOf<MapTool>(),
     maker<MapTool>()},
    {"reversi-perft",
     "count the move tree of a Reversi map",
     {"Counts the move sequences of exactly 1, 2, ... N moves from the start of a map "
      "(perft), one line per depth with the time taken. The search board and the referee "
      "must give the same counts, so comparing them tests the one against the other."},
     "0 when the counts were printed",
     {},
     maker<PerftTool>()},
    {"reversi-tune",
     "tune the parameters of reversi-ai by games",
     {"Tunes the search and evaluation parameters of reversi-ai, with the method as its first "
      "word. spsa plays games between two copies of reversi-ai whose tuned parameters are "
      "moved by a random sign in opposite directions, through the same game runner as "
      "reversi-arena, and moves the parameters towards the copy that scored better. After each "
      "iteration it writes the params file (which reversi-ai --params reads) and the history "
      "CSV; --resume goes on from the last iteration the params file holds. texel reads game "
      "records (reversi-arena --out folders, reversi-lobby --records folders), takes positions "
      "of every few moves and fits the evaluation's weights and pattern tables to the games' "
      "results by a logistic regression; it prints the loss before and after on held-out "
      "games and writes a parameter file for reversi-ai --params and a pattern file for "
      "reversi-ai --patterns."},
     "0 when the method ran to its end and wrote its files",
     subcommandsOf<TuneTool>(),
     maker<TuneTool>()},
};

} // namespace

std::string OptionDoc::shortest() const {
    return spellings().empty() ? valueName : spellings().front();
}

std::vector<std::string> OptionDoc::spellings() const {
    std::vector<std::string> found;
    for (const char letter : letters) {
        found.push_back(std::string("-") + letter);
    }
    for (const std::string& name : names) {
        found.push_back("--" + name);
    }
    return found;
}

const std::vector<ProgramDoc>& programDocs() {
    return Programs;
}

std::vector<OptionDoc> declaredOptions(Tool& tool) {
    std::vector<OptionDoc> options;
    tool.declareOptions([&options](OPTA::ArgumentParser& parser) {
        for (const auto& [set, arg] : parser.declared()) {
            options.push_back({set, arg->letters(), arg->names(), arg->value_name(),
                               arg->description(), arg->max() == 0, arg->required()});
        }
    });
    return options;
}

std::string subcommandName(const SubcommandDoc& subcommand) {
    return subcommand.usage.substr(0, subcommand.usage.find(' '));
}
