#include "tests/support/ServerRecordReplay.hpp"

#include <fstream>
#include <sstream>

#include "common/Game.hpp"
#include "common/GameBoard.hpp"
#include "common/Map.hpp"

namespace testing_support {

namespace {

// The map section: "map <n>" and n lines of map text.
bool readMap(std::istream& in, Map& map) {
    std::string word;
    std::size_t count = 0;
    if (!(in >> word >> count) || word != "map") {
        return false;
    }
    std::string line;
    std::getline(in, line);
    std::string text;
    for (std::size_t i = 0; i < count && std::getline(in, line); ++i) {
        text += line + '\n';
    }
    return map.loadFromString(text);
}

// Applies one event line; false names the problem in `replay.error`.
bool replayEvent(const std::string& kind, std::istream& in, Game& game, RecordReplay& replay) {
    if (kind == "move") {
        unsigned player = 0, x = 0, y = 0, choice = 0;
        in >> player >> x >> y >> choice;
        const Move move(static_cast<std::uint16_t>(x), static_cast<std::uint16_t>(y),
                        static_cast<MoveChoice>(choice), static_cast<Player>(player),
                        game.is_terminal());
        ++replay.moves;
        if (!in || !game.checkMove(move, true) || !game.makeMove(move)) {
            replay.error = "move " + std::to_string(replay.moves) + " rejected";
            return false;
        }
        return true;
    }
    if (kind == "disqualify") {
        unsigned player = 0;
        std::string reason;
        in >> player;
        std::getline(in, reason);
        game.disqualify(static_cast<Player>(player));
        ++replay.disqualifications;
        return static_cast<bool>(in);
    }
    if (kind == "scores") {
        int score = 0;
        for (unsigned i = 0; i < game.getNrPlayers() && in >> score; ++i) {
            replay.recordedScores.push_back(score);
        }
        return true;
    }
    replay.error = "unknown record line " + kind;
    return false;
}

} // namespace

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
