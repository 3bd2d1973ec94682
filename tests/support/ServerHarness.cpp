#include "tests/support/ServerHarness.hpp"

#include <fstream>
#include <sstream>

#include "common/Game.hpp"
#include "common/GameBoard.hpp"
#include "common/Map.hpp"
#include "tests/support/TestPaths.hpp"

namespace testing_support {

namespace {

std::vector<std::string> withFreePort(std::vector<std::string> args) {
    args.insert(args.end(), {"--port", "0"});
    return args;
}

// The map section of a record: "map <n>" and n lines of map text.
bool readMap(std::istream& in, Map& map) {
    std::string word, line, text;
    std::size_t count = 0;
    if (!(in >> word >> count) || word != "map") {
        return false;
    }
    std::getline(in, line);
    for (std::size_t i = 0; i < count && std::getline(in, line); ++i) {
        text += line + '\n';
    }
    return map.loadFromString(text);
}

// Applies one event line of a record; false names the problem in `replay.error`.
bool replayEvent(const std::string& kind, std::istream& in, Game& game, RecordReplay& replay) {
    unsigned player = 0, x = 0, y = 0, choice = 0;
    if (kind == "move") {
        in >> player >> x >> y >> choice;
        const Move move(static_cast<std::uint16_t>(x), static_cast<std::uint16_t>(y),
                        static_cast<MoveChoice>(choice), static_cast<Player>(player),
                        game.is_terminal());
        if (!in || !game.checkMove(move, true) || !game.makeMove(move)) {
            replay.error = "move rejected: " + std::to_string(x) + " " + std::to_string(y);
        }
    } else if (kind == "disqualify") {
        std::string reason;
        in >> player;
        std::getline(in, reason);
        game.disqualify(static_cast<Player>(player));
    } else if (kind == "scores") {
        int score = 0;
        for (unsigned i = 0; i < game.getNrPlayers() && in >> score; ++i) {
            replay.recordedScores.push_back(score);
        }
    } else {
        replay.error = "unknown record line " + kind;
    }
    if (!in && replay.error.empty()) {
        replay.error = "broken record line " + kind;
    }
    return replay.error.empty();
}

} // namespace

GameServer::GameServer(std::vector<std::string> args)
    : ScriptedProcess(programPath("reversi-server"), withFreePort(std::move(args))) {
    if (const auto text = waitForLine("Listening on port ", std::chrono::seconds(10))) {
        std::istringstream(*text) >> port;
    }
}

std::string finalBoardFromLog(const std::string& out) {
    const std::string marker = "Final board:\n";
    const auto start = out.find(marker);
    std::istringstream lines(start == std::string::npos ? "" : out.substr(start + marker.size()));
    std::string board;
    for (std::string line; std::getline(lines, line) && line.rfind('[', 0) != 0;) {
        board += line + '\n';
    }
    return board;
}

RecordReplay replayRecord(const std::string& path) {
    RecordReplay replay;
    std::ifstream in(path);
    Map map;
    if (!readMap(in, map)) {
        replay.error = "no valid map in the record";
        return replay;
    }
    Game game(map, false);
    for (std::string kind; in >> kind;) {
        if (!replayEvent(kind, in, game, replay)) {
            return replay;
        }
    }
    replay.board = game.getBoard().asString(Player::P_INVALID, false, true);
    replay.final = game.is_final();
    int scores[8] = {};
    game.get_scores(scores);
    replay.scores.assign(scores, scores + game.getNrPlayers());
    return replay;
}

} // namespace testing_support
