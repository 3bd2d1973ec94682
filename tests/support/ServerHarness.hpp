// The real reversi-server as a child process, seats at it played message by message by the
// test, and the replay of its game record.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/ScriptedProcess.hpp"
#include "tests/support/ScriptedServer.hpp"

namespace testing_support {

// reversi-server started with `args` on a port the system picks; `port` is the one of its
// line "Listening on port N", 0 when none came within 10 s.
struct GameServer : ScriptedProcess {
    explicit GameServer(std::vector<std::string> args);
    std::uint16_t port = 0;
};

// One seat at the server, played by the test over a real connection.
class TestPlayer : public Peer {
public:
    bool connect(std::uint16_t port);
    // The opening on a standing connection: group id 7 out, map and player number in; the
    // map must come within `limit`.
    bool open(std::chrono::milliseconds limit = MessageLimit);
    bool join(std::uint16_t port) { return connect(port) && open(); }
    // Skips messages up to the first of the wanted type; false when the connection ends first.
    bool skipTo(MsgType wanted);
    // The player named by the DISQUALIFICATION just received.
    Player disqualified();

    std::string mapText;
    Player player = Player::P_INVALID;
};

// The board text the server logged after "Final board:", without the log line itself.
std::string finalBoardFromLog(const std::string& out);

// A game record (the server's --record file) replayed on a fresh active game.
struct RecordReplay {
    // Empty when every line of the record replayed as a legal event.
    std::string error;
    // The final board as the server logs it: no move marks, with axes.
    std::string board;
    bool final = false;
    std::vector<int> scores;
    // The scores the record itself states.
    std::vector<int> recordedScores;
};

RecordReplay replayRecord(const std::string& path);

} // namespace testing_support
