// The real reversi-server as a child process, seats at it played message by message by the
// test, and the replay of its game record.
#pragma once

#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "common/Game.hpp"
#include "common/GameBoard.hpp"
#include "common/GameRecord.hpp"
#include "common/Map.hpp"
#include "tests/support/ScriptedProcess.hpp"
#include "tests/support/ScriptedServer.hpp"
#include "tests/support/TestPaths.hpp"

namespace testing_support {

// reversi-server started with `args` on a port the system picks; `port` is the one of its
// line "Listening on port N", 0 when none came within 10 s.
struct GameServer : ScriptedProcess {
    explicit GameServer(std::vector<std::string> args)
        : ScriptedProcess(programPath("reversi-server"),
                          (args.insert(args.end(), {"--port", "0"}), args)) {
        if (const auto text = waitForLine("Listening on port ", std::chrono::seconds(10))) {
            std::istringstream(*text) >> port;
        }
    }
    std::uint16_t port = 0;
};

// One seat at the server, played by the test over a real connection.
struct TestPlayer : Peer {
    bool connect(std::uint16_t port) {
        auto socket = std::make_unique<TcpClient>();
        if (socket->connect_to("127.0.0.1", port)) {
            attach(socket.release());
        }
        return attached();
    }
    // The opening on a standing connection: group id 7 out, map and player number in; the
    // map must come within `limit`.
    bool open(std::chrono::milliseconds limit = MessageLimit) {
        payload_client_playernum number{};
        const bool opened = proto().send_client_groupid(7) && next(limit) == MsgType::GAMEBOARD &&
                            proto().get_gameboard(mapText) == MsgResult::OK &&
                            next() == MsgType::CLIENT_PLAYERNUM &&
                            proto().get_client_playernum(number) == MsgResult::OK;
        player = number.player;
        return opened;
    }
    bool join(std::uint16_t port) { return connect(port) && open(); }
    // Skips messages up to the first of the wanted type; false when the connection ends first.
    bool skipTo(MsgType wanted) {
        for (MsgType type = next(); type != MsgType::FAIL; type = next()) {
            if (type == wanted) {
                return true;
            }
        }
        return false;
    }
    // The player named by the DISQUALIFICATION just received.
    Player disqualified() {
        payload_disqualification payload{};
        proto().get_disqualification(payload);
        return payload.player;
    }

    std::string mapText;
    Player player = Player::P_INVALID;
};

// The board text the server logged after "Final board:", without the log line itself.
inline std::string finalBoardFromLog(const std::string& out) {
    const std::string marker = "Final board:\n";
    const auto start = out.find(marker);
    std::istringstream lines(start == std::string::npos ? "" : out.substr(start + marker.size()));
    std::string board;
    for (std::string line; std::getline(lines, line) && line.rfind('[', 0) != 0;) {
        board += line + '\n';
    }
    return board;
}

// A game record (the server's --record file) read and replayed by the product's reader.
struct ReplayedRecord {
    explicit ReplayedRecord(const std::string& path) {
        GameRecordData record;
        RecordReplay replay;
        if (!loadGameRecord(path, record, error) || !replay.start(record, error)) {
            return;
        }
        while (!replay.atEnd() && replay.step(error)) {
        }
        board = replay.game().getBoard().asString(Player::P_INVALID, false, true);
        final = replay.game().is_final();
        int all[8] = {};
        replay.game().get_scores(all);
        scores.assign(all, all + replay.game().getNrPlayers());
        recordedScores = record.scores;
    }

    // `error` is empty when every line replayed as a legal event; `board` is the final board as
    // the server logs it (no move marks, with axes); `recordedScores` are the record's own.
    std::string error, board;
    bool final = false;
    std::vector<int> scores, recordedScores;
};

} // namespace testing_support
