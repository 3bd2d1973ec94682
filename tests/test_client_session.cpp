// The client session end to end: the real reversi-client against a scripted server.

#include <functional>
#include <sstream>

#include <gtest/gtest.h>

#include "common/Game.hpp"
#include "common/Map.hpp"
#include "tests/support/ScriptedServer.hpp"
#include "tests/support/TestPaths.hpp"

using namespace testing_support;

namespace {

const Player P2 = static_cast<Player>(2);

// A whole game with the client as `player`: the referee's side takes every player's first
// legal move and the person types the client's ones; TERMINAL follows the move that ends the
// build phase. `special`: the client's moves must include a choice and a bomb.
void playWholeGame(const std::string& mapName, Player player, bool special) {
    SCOPED_TRACE(mapName);
    Map map;
    ASSERT_TRUE(map.loadFromFile(mapPath(mapName)));
    Game referee(map, false);
    std::vector<std::pair<Move, bool>> steps;
    std::ostringstream input, mapText;
    bool chose = false, threw = false;
    while (!referee.is_final() && steps.size() < 10000) {
        Move move;
        ASSERT_TRUE(referee.nextMove(move, false));
        const bool wasTerminal = referee.is_terminal();
        referee.makeMove(move);
        steps.emplace_back(move, !wasTerminal && referee.is_terminal());
        if (move.player == player) {
            input << move.x << " " << move.y << "\n";
            if (move.choice != MoveChoice::NONE) {
                input << move.choice << "\n";
            }
            chose = chose || move.choice != MoveChoice::NONE;
            threw = threw || move.terminal;
        }
    }
    ASSERT_TRUE(referee.is_final());
    ASSERT_TRUE(!special || (chose && threw));
    mapText << map;

    ClientSession session(input.str());
    ASSERT_TRUE(session.open(mapText.str(), player));
    std::size_t sent = 0;
    for (const auto& [move, endsBuildPhase] : steps) {
        if (move.player == player) {
            payload_move answer{};
            ASSERT_TRUE(session.server.requestMove(2000, 0, answer));
            EXPECT_EQ(answer.x, move.x);
            EXPECT_EQ(answer.y, move.y);
            EXPECT_EQ(answer.choice, move.choice);
            ++sent;
        }
        ASSERT_TRUE(session.server.announce(move));
        ASSERT_TRUE(!endsBuildPhase || session.server.proto().send_terminal());
    }
    ASSERT_TRUE(session.server.proto().send_fin());
    const auto result = session.finish();
    EXPECT_EQ(result.exitStatus, 0) << result.out;
    // The opening's log lines, in this order.
    std::size_t at = 0;
    for (const auto& line : std::vector<std::string>{
             "Connecting to server 127.0.0.1 on port " + std::to_string(session.server.port()),
             "Sending group id...", "Waiting for server to send board...",
             "Waiting for server to assign player number...",
             "OK. You are player " + std::to_string(unsigned(player)),
             "Protocol init complete, starting game.", "Received end of game, stopping game"}) {
        at = result.out.find(line + "\n", at);
        ASSERT_NE(at, std::string::npos) << line << "\n" << result.out;
        EXPECT_TRUE(hasLogLine(result.out, "INFO", line)) << line;
        at += line.size();
    }
    EXPECT_EQ(countOf(result.out, "Internal game state is not"), 0u) << result.out;
    EXPECT_EQ(countOf(result.out, "Sent move to server: "), sent);
}

using Script = std::function<void(ScriptedServer&)>;

// The map Line, then `player` as the client's number.
Script playerNumber(unsigned player) {
    return [player](ScriptedServer& s) {
        s.proto().send_gameboard(client_maps::Line);
        s.proto().send_client_playernum(static_cast<Player>(player));
    };
}

Script announce(std::uint16_t x, std::uint16_t y, unsigned player) {
    return [=](ScriptedServer& s) {
        s.proto().send_moveannounce(x, y, MoveChoice::NONE, static_cast<Player>(player));
    };
}

} // namespace

TEST(ClientSession, WholeGamesEndWithFin) {
    playWholeGame("classic8x8.map", Player::P1, false);
    playWholeGame("transitions4p.map", P2, true);
}

TEST(ClientSession, ConnectionRefused) {
    // The server is gone by the time the client starts.
    const auto args = ScriptedServer().clientArgs();
    const auto result = runProcess(programPath("reversi-client"), args, ClientLimit);
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_TRUE(hasLogLine(result.out, "FATAL", "Failed to connect to server. aborting."));
}

// Each way the opening (FATAL) or the message loop (ERROR) can fail ends the client with its log
// line and exit status 1. After the group id the server runs the script, in the loop cases after
// the map Line and player number 1.
TEST(ClientSession, FailuresEndWithTheirLogLine) {
    const struct {
        Script script;
        const char* level;
        std::string message;
    } cases[] = {
        {[](ScriptedServer& s) { s.proto().send_client_playernum(Player::P1); }, "FATAL",
         "Failed to receive gameboard. aborting."},
        {[](ScriptedServer& s) { s.sendRaw(std::string("\x02\0\0\0\0", 5)); }, "FATAL",
         "Failed to receive gameboard. aborting."},
        {[](ScriptedServer& s) { s.proto().send_gameboard("2\n0\n0 0\n0 5\n"); }, "FATAL",
         "Invalid map. aborting."},
        {[](ScriptedServer& s) {
             s.proto().send_gameboard(client_maps::Line);
             s.disconnect();
         },
         "FATAL", "Failed to receive player number. aborting."},
        {playerNumber(0), "FATAL", "Invalid player number 0. aborting."},
        {playerNumber(3), "FATAL", "Invalid player number 3. aborting."},
        {playerNumber(255), "FATAL", "Invalid player number 255. aborting."},
        {[](ScriptedServer& s) { s.disconnect(); }, "ERROR",
         "Error receiving message from server, aborting."},
        {[](ScriptedServer& s) { s.sendRaw(std::string("\x08\0\0\0\x01", 5)); }, "ERROR",
         "Error receiving message from server, aborting."},
        {announce(0, 0, 1), "ERROR", "Received invalid move, aborting."},
        {announce(60000, 0, 1), "ERROR", "Received invalid move, aborting."},
        {announce(2, 0, 3), "ERROR", "Received invalid player number 3, aborting."},
        {announce(2, 0, 0), "ERROR", "Received invalid player number 0, aborting."},
        {[](ScriptedServer& s) { s.proto().send_disqualification(static_cast<Player>(9)); },
         "ERROR", "Received invalid player number 9, aborting."},
    };
    for (const auto& failure : cases) {
        SCOPED_TRACE(failure.message);
        ClientSession session("2 0\n");
        ASSERT_TRUE(session.server.accept());
        ASSERT_GE(session.server.receiveGroupId(), 0);
        if (failure.level == std::string("ERROR")) {
            playerNumber(1)(session.server);
        }
        failure.script(session.server);
        const auto result = session.finish();
        EXPECT_EQ(result.exitStatus, 1);
        EXPECT_TRUE(hasLogLine(result.out, failure.level, failure.message)) << result.out;
    }
}

// The client's own disqualification ends it with the board; another player's lets it play on,
// and with one player left the local game is over as well.
TEST(ClientSession, Disqualifications) {
    ClientSession own("");
    ASSERT_TRUE(own.open(client_maps::Line, Player::P1));
    own.server.proto().send_disqualification(Player::P1);
    const auto result = own.finish();
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_NE(result.out.find("Got disqualified from the game, aborting.\n[ERROR] "),
              std::string::npos);
    EXPECT_NE(result.out.find(R"(
     0  1  2  
   /----------
0  | 1  2  0' 
)"),
              std::string::npos)
        << result.out;

    ClientSession other("");
    ASSERT_TRUE(other.open(client_maps::Line, Player::P1));
    other.server.proto().send_disqualification(P2);
    other.server.proto().send_fin();
    const auto goesOn = other.finish();
    EXPECT_EQ(goesOn.exitStatus, 0);
    EXPECT_TRUE(hasLogLine(goesOn.out, "INFO", "Received disqualification for player 2"));
    EXPECT_EQ(countOf(goesOn.out, "Internal game state is not final"), 0u);
}

// A session that only answers move requests: stray message types are skipped, the time limit
// gets its safety offset, and FIN ends a game that is not over locally.
TEST(ClientSession, StrayMessagesTimelimitOffsetAndFinBeforeTheEnd) {
    ClientSession session("2 0\n2 0\n2 0\n2 0\n");
    ASSERT_TRUE(session.open(client_maps::Line, Player::P1));
    auto& peer = session.server.proto();
    peer.send_client_groupid(3);
    peer.send_gameboard(client_maps::Line);
    peer.send_client_playernum(Player::P1);
    peer.send_move(1, 2, MoveChoice::NONE);
    payload_move answer{};
    for (const std::uint32_t limit : {500u, 501u, 0u, 4294967295u}) {
        ASSERT_TRUE(session.server.requestMove(limit, 200, answer));
        EXPECT_EQ(answer.x, 2);
    }
    peer.send_fin();
    const auto result = session.finish();
    EXPECT_EQ(result.exitStatus, 0);
    for (const char* line : {"Received move request. Timelimit 500, depthlimit 200",
                             "Received move request. Timelimit 0, depthlimit 200",
                             "Received move request. Timelimit 4294967295, depthlimit 200",
                             "Applying timelimit safety offset, timelimit now 1",
                             "Applying timelimit safety offset, timelimit now 4294966795",
                             "Sent move to server: Player 1 (x,y)=(2,0)"}) {
        EXPECT_TRUE(hasLogLine(result.out, "INFO", line)) << line;
    }
    EXPECT_EQ(countOf(result.out, "Applying timelimit safety offset"), 2u);
    for (const char* type : {"1", "2", "3", "5"}) {
        EXPECT_TRUE(hasLogLine(result.out, "WARN",
                               std::string("Ignoring unexpected message from server: ") + type));
    }
    EXPECT_TRUE(
        hasLogLine(result.out, "WARN", "Internal game state is not final, but server expects so!"));
}

TEST(ClientSession, MoveRequestOutOfTurnIsAnsweredUntilInputEnds) {
    // Player 1 is on turn, so every square is refused to player 2.
    ClientSession session("2 0\n0 0\n");
    ASSERT_TRUE(session.open(client_maps::Line, P2));
    session.server.proto().send_moverequest(1000, 0);
    EXPECT_EQ(session.server.next(), MsgType::FAIL);
    const auto result = session.finish();
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_TRUE(
        hasLogLine(result.out, "WARN",
                   "Received move request but game indicates its not my turn. Making move anyway"));
    EXPECT_EQ(countOf(result.out, "Invalid move coordinates!"), 2u);
    EXPECT_TRUE(hasLogLine(result.out, "ERROR",
                           "The specified move is invalid and will not be send. aborting."));
}

// TERMINAL forces the bomb phase on a local game still building (the answer is then a bomb on
// the bonus square, without the choice question); in the local bomb phase (after player 1
// filled the row nobody can place a stone) it only logs.
TEST(ClientSession, TerminalStartsTheBombPhase) {
    for (const auto& [map, player, input, forced] :
         {std::tuple{client_maps::Bonus, Player::P1, "0 0\n", true},
          std::tuple{client_maps::Line, P2, "1 0\n", false}}) {
        ClientSession session(input);
        ASSERT_TRUE(session.open(map, player));
        if (!forced) {
            session.server.announce(Move(2, 0, MoveChoice::NONE, Player::P1, false));
        }
        session.server.proto().send_terminal();
        payload_move answer{};
        ASSERT_TRUE(session.server.requestMove(1000, 0, answer));
        EXPECT_EQ(answer.x, forced ? 0 : 1);
        EXPECT_EQ(answer.choice, MoveChoice::NONE);
        session.server.proto().send_fin();
        const auto result = session.finish();
        EXPECT_EQ(result.exitStatus, 0) << result.out;
        EXPECT_TRUE(hasLogLine(result.out, "INFO", "Game reached terminal state"));
        EXPECT_EQ(hasLogLine(result.out, "WARN",
                             "Internal game state is not terminal, forcing terminal state!"),
                  forced);
        EXPECT_EQ(countOf(result.out, "Please enter valid choice"), 0u);
        EXPECT_EQ(countOf(result.out, "not my turn"), 0u);
    }
}
