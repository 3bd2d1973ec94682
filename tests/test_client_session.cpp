// The client session end to end: the real reversi-client against a scripted server.

#include <functional>
#include <sstream>

#include <gtest/gtest.h>

#include "common/Game.hpp"
#include "common/Map.hpp"
#include "tests/support/ClientHarness.hpp"
#include "tests/support/TestPaths.hpp"

using namespace testing_support;

namespace {

// One move of a recorded game and whether the build phase ended with it.
struct GameStep {
    Move move;
    bool endsBuildPhase = false;
};

// A whole game on the referee's side in which every player takes its first legal move.
std::vector<GameStep> firstMoveGame(const Map& map) {
    Game referee(map, false);
    std::vector<GameStep> steps;
    while (!referee.is_final() && steps.size() < 10000) {
        Move move;
        if (!referee.nextMove(move, false)) {
            break;
        }
        const bool wasTerminal = referee.is_terminal();
        referee.makeMove(move);
        steps.push_back({move, !wasTerminal && referee.is_terminal()});
    }
    return steps;
}

// What the person types for the client's moves: coordinates, and the choice where one is due.
std::string answersFor(const std::vector<GameStep>& steps, Player player) {
    std::ostringstream input;
    for (const auto& step : steps) {
        if (step.move.player != player) {
            continue;
        }
        input << step.move.x << " " << step.move.y << "\n";
        if (step.move.choice != MoveChoice::NONE) {
            input << step.move.choice << "\n";
        }
    }
    return input.str();
}

// True when one of the player's moves satisfies `test`.
bool anyMoveOf(const std::vector<GameStep>& steps, Player player,
               const std::function<bool(const Move&)>& test) {
    for (const auto& step : steps) {
        if (step.move.player == player && test(step.move)) {
            return true;
        }
    }
    return false;
}

// True when the texts occur in `out` in the given order.
bool inOrder(const std::string& out, const std::vector<std::string>& texts) {
    std::size_t position = 0;
    for (const auto& text : texts) {
        position = out.find(text, position);
        if (position == std::string::npos) {
            return false;
        }
        position += text.size();
    }
    return true;
}

// Plays a recorded game with the client as `player`; counts the moves the client sent.
void playWholeGame(const std::string& mapName, Player player, bool withSpecialMoves) {
    Map map;
    ASSERT_TRUE(map.loadFromFile(mapPath(mapName)));
    const auto steps = firstMoveGame(map);
    ASSERT_FALSE(steps.empty());
    if (withSpecialMoves) {
        ASSERT_TRUE(anyMoveOf(steps, player, [](const Move& m) { return m.terminal; }));
        ASSERT_TRUE(
            anyMoveOf(steps, player, [](const Move& m) { return m.choice != MoveChoice::NONE; }));
    }
    std::ostringstream mapText;
    mapText << map;

    ClientSession session(answersFor(steps, player));
    ASSERT_TRUE(session.open(mapText.str(), player));
    for (const auto& step : steps) {
        if (step.move.player == player) {
            payload_move answer{};
            ASSERT_TRUE(session.server.requestMove(2000, 0, answer));
            EXPECT_EQ(answer.x, step.move.x);
            EXPECT_EQ(answer.y, step.move.y);
            EXPECT_EQ(answer.choice, step.move.choice);
        }
        ASSERT_TRUE(session.server.announce(step.move));
        if (step.endsBuildPhase) {
            ASSERT_TRUE(session.server.peer().send_terminal());
        }
    }
    ASSERT_TRUE(session.server.peer().send_fin());
    const auto result = session.finish();
    EXPECT_EQ(result.exitStatus, 0) << result.out;
    const std::string port = std::to_string(session.server.port());
    EXPECT_TRUE(inOrder(result.out,
                        {"[ INFO] ", "Connecting to server 127.0.0.1 on port " + port, "[ INFO] ",
                         "Sending group id...", "[ INFO] ", "Waiting for server to send board...",
                         "[ INFO] ", "Waiting for server to assign player number...", "[ INFO] ",
                         "OK. You are player " + std::to_string(unsigned(player)), "[ INFO] ",
                         "Protocol init complete, starting game."}))
        << result.out;
    EXPECT_TRUE(hasLogLine(result.out, "INFO", "Received end of game, stopping game"));
    EXPECT_EQ(countOf(result.out, "Internal game state is not"), 0u) << result.out;
    EXPECT_EQ(countOf(result.out, "Sent move to server: "),
              countOf(answersFor(steps, player), " "));
}

// A session whose server does `script` after the opening, and the line the client ends with.
struct FailureCase {
    const char* name;
    std::function<void(ScriptedServer&)> script;
    const char* level;
    std::string message;
};

void expectFailure(const FailureCase& failure) {
    SCOPED_TRACE(failure.name);
    ClientSession session("2 0\n");
    ASSERT_TRUE(session.server.accept());
    ASSERT_GE(session.server.receiveGroupId(), 0);
    failure.script(session.server);
    const auto result = session.finish();
    EXPECT_FALSE(result.timedOut);
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_TRUE(hasLogLine(result.out, failure.level, failure.message)) << result.out;
}

// The opening done by a failure script: the map, then the player number.
void openAs(ScriptedServer& server, Player player, const char* mapText = client_maps::Line) {
    server.peer().send_gameboard(mapText);
    server.peer().send_client_playernum(player);
}

Move announced(std::uint16_t x, std::uint16_t y, Player player) {
    return Move(x, y, MoveChoice::NONE, player, false);
}

} // namespace

TEST(ClientSession, WholeGamesEndWithFin) {
    playWholeGame("classic8x8.map", Player::P1, false);
    // Player 2 meets a choice or bonus square and throws bombs in this game.
    playWholeGame("transitions4p.map", static_cast<Player>(2), true);
}

TEST(ClientSession, ConnectionRefused) {
    std::vector<std::string> args;
    {
        ScriptedServer closed;
        ASSERT_TRUE(closed.listening());
        args = closed.clientArgs();
    }
    const auto result = runProcess(clientProgram(), args, ClientSession::ProcessLimit);
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_TRUE(hasLogLine(result.out, "FATAL", "Failed to connect to server. aborting."));
}

TEST(ClientSession, OpeningFailures) {
    const Player p1 = Player::P1;
    const FailureCase cases[] = {
        {"player number before map", [&](ScriptedServer& s) { s.peer().send_client_playernum(p1); },
         "FATAL", "Failed to receive gameboard. aborting."},
        {"empty map header", [](ScriptedServer& s) { s.sendRaw(std::string("\x02\0\0\0\0", 5)); },
         "FATAL", "Failed to receive gameboard. aborting."},
        {"invalid map", [](ScriptedServer& s) { s.peer().send_gameboard("2\n0\n0 0\n0 5\n"); },
         "FATAL", "Invalid map. aborting."},
        {"closed before player number",
         [](ScriptedServer& s) {
             s.peer().send_gameboard(client_maps::Line);
             s.disconnect();
         },
         "FATAL", "Failed to receive player number. aborting."},
        {"player number 0", [](ScriptedServer& s) { openAs(s, Player::P_INVALID); }, "FATAL",
         "Invalid player number 0. aborting."},
        {"player number above the map's players",
         [](ScriptedServer& s) { openAs(s, static_cast<Player>(3)); }, "FATAL",
         "Invalid player number 3. aborting."},
        {"player number 255", [](ScriptedServer& s) { openAs(s, static_cast<Player>(255)); },
         "FATAL", "Invalid player number 255. aborting."},
    };
    for (const auto& failure : cases) {
        expectFailure(failure);
    }
}

TEST(ClientSession, LoopFailures) {
    const FailureCase cases[] = {
        {"closed connection",
         [](ScriptedServer& s) {
             openAs(s, Player::P1);
             s.disconnect();
         },
         "ERROR", "Error receiving message from server, aborting."},
        {"corrupt header",
         [](ScriptedServer& s) {
             openAs(s, Player::P1);
             s.sendRaw(std::string("\x08\0\0\0\x01", 5));
         },
         "ERROR", "Error receiving message from server, aborting."},
        {"move onto own stone",
         [](ScriptedServer& s) {
             openAs(s, Player::P1);
             s.announce(announced(0, 0, Player::P1));
         },
         "ERROR", "Received invalid move, aborting."},
        {"move off the board",
         [](ScriptedServer& s) {
             openAs(s, Player::P1);
             s.announce(announced(60000, 0, Player::P1));
         },
         "ERROR", "Received invalid move, aborting."},
        {"own disqualification",
         [](ScriptedServer& s) {
             openAs(s, Player::P1);
             s.peer().send_disqualification(Player::P1);
         },
         "ERROR", "Got disqualified from the game, aborting."},
        {"announced player above the map's players",
         [](ScriptedServer& s) {
             openAs(s, Player::P1);
             s.peer().send_moveannounce(2, 0, MoveChoice::NONE, static_cast<Player>(3));
         },
         "ERROR", "Received invalid player number 3, aborting."},
        {"announced player 0",
         [](ScriptedServer& s) {
             openAs(s, Player::P1);
             s.peer().send_moveannounce(2, 0, MoveChoice::NONE, Player::P_INVALID);
         },
         "ERROR", "Received invalid player number 0, aborting."},
        {"disqualified player 9",
         [](ScriptedServer& s) {
             openAs(s, Player::P1);
             s.peer().send_disqualification(static_cast<Player>(9));
         },
         "ERROR", "Received invalid player number 9, aborting."},
    };
    for (const auto& failure : cases) {
        expectFailure(failure);
    }
}

TEST(ClientSession, OwnDisqualificationLogsTheBoard) {
    ClientSession session("");
    ASSERT_TRUE(session.open(client_maps::Line, Player::P1));
    session.server.peer().send_disqualification(Player::P1);
    const auto result = session.finish();
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
}

TEST(ClientSession, OtherDisqualificationContinuesTheGame) {
    ClientSession session("");
    ASSERT_TRUE(session.open(client_maps::Line, Player::P1));
    session.server.peer().send_disqualification(static_cast<Player>(2));
    session.server.peer().send_fin();
    const auto result = session.finish();
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_TRUE(hasLogLine(result.out, "INFO", "Received disqualification for player 2"));
    // With one player left the local game is over as well.
    EXPECT_EQ(countOf(result.out, "Internal game state is not final"), 0u);
}

TEST(ClientSession, TimelimitSafetyOffset) {
    ClientSession session("2 0\n2 0\n2 0\n2 0\n");
    ASSERT_TRUE(session.open(client_maps::Line, Player::P1));
    payload_move answer{};
    for (const std::uint32_t limit : {500u, 501u, 0u, 4294967295u}) {
        ASSERT_TRUE(session.server.requestMove(limit, 200, answer));
        EXPECT_EQ(answer.x, 2);
    }
    session.server.peer().send_fin();
    const auto result = session.finish();
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_TRUE(
        hasLogLine(result.out, "INFO", "Received move request. Timelimit 500, depthlimit 200"));
    EXPECT_TRUE(
        hasLogLine(result.out, "INFO", "Received move request. Timelimit 0, depthlimit 200"));
    EXPECT_TRUE(hasLogLine(result.out, "INFO",
                           "Received move request. Timelimit 4294967295, depthlimit 200"));
    EXPECT_TRUE(
        hasLogLine(result.out, "INFO", "Applying timelimit safety offset, timelimit now 1"));
    EXPECT_TRUE(hasLogLine(result.out, "INFO",
                           "Applying timelimit safety offset, timelimit now 4294966795"));
    EXPECT_EQ(countOf(result.out, "Applying timelimit safety offset"), 2u);
    EXPECT_TRUE(hasLogLine(result.out, "INFO", "Sent move to server: Player 1 (x,y)=(2,0)"));
}

TEST(ClientSession, MoveRequestOutOfTurnIsAnsweredUntilInputEnds) {
    // Player 1 is on turn, so every square is refused to player 2.
    ClientSession session("2 0\n0 0\n");
    ASSERT_TRUE(session.open(client_maps::Line, static_cast<Player>(2)));
    session.server.peer().send_moverequest(1000, 0);
    EXPECT_EQ(session.server.receive(), MsgType::FAIL);
    const auto result = session.finish();
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_TRUE(
        hasLogLine(result.out, "WARN",
                   "Received move request but game indicates its not my turn. Making move anyway"));
    EXPECT_EQ(countOf(result.out, "Invalid move coordinates!"), 2u);
    EXPECT_TRUE(hasLogLine(result.out, "ERROR",
                           "The specified move is invalid and will not be send. aborting."));
}

TEST(ClientSession, StrayMessagesAreSkippedAndFinEndsAnUnfinishedGame) {
    ClientSession session("");
    ASSERT_TRUE(session.open(client_maps::Line, Player::P1));
    auto& peer = session.server.peer();
    peer.send_client_groupid(3);
    peer.send_gameboard(client_maps::Line);
    peer.send_client_playernum(Player::P1);
    peer.send_move(1, 2, MoveChoice::NONE);
    peer.send_fin();
    const auto result = session.finish();
    EXPECT_EQ(result.exitStatus, 0);
    for (const char* type : {"1", "2", "3", "5"}) {
        EXPECT_TRUE(hasLogLine(result.out, "WARN",
                               std::string("Ignoring unexpected message from server: ") + type));
    }
    EXPECT_TRUE(
        hasLogLine(result.out, "WARN", "Internal game state is not final, but server expects so!"));
}

TEST(ClientSession, TerminalForcesTheBombPhase) {
    // Forced from the build phase: the answer is a bomb on the bonus square, without choice.
    ClientSession session("0 0\n");
    ASSERT_TRUE(session.open(client_maps::Bonus, Player::P1));
    session.server.peer().send_terminal();
    payload_move answer{};
    ASSERT_TRUE(session.server.requestMove(1000, 0, answer));
    EXPECT_EQ(answer.x, 0);
    EXPECT_EQ(answer.choice, MoveChoice::NONE);
    session.server.announce(Move(0, 0, MoveChoice::NONE, Player::P1, true));
    session.server.peer().send_fin();
    const auto result = session.finish();
    EXPECT_EQ(result.exitStatus, 0) << result.out;
    EXPECT_TRUE(hasLogLine(result.out, "INFO", "Game reached terminal state"));
    EXPECT_TRUE(hasLogLine(result.out, "WARN",
                           "Internal game state is not terminal, forcing terminal state!"));
    EXPECT_EQ(countOf(result.out, "Please enter valid choice"), 0u);
}

TEST(ClientSession, TerminalInTheLocalBombPhaseOnlyLogs) {
    // After player 1 fills the row nobody can place a stone; player 2 throws first.
    ClientSession session("1 0\n");
    ASSERT_TRUE(session.open(client_maps::Line, static_cast<Player>(2)));
    session.server.announce(announced(2, 0, Player::P1));
    session.server.peer().send_terminal();
    payload_move answer{};
    ASSERT_TRUE(session.server.requestMove(1000, 0, answer));
    EXPECT_EQ(answer.x, 1);
    session.server.peer().send_fin();
    const auto result = session.finish();
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_TRUE(hasLogLine(result.out, "INFO", "Game reached terminal state"));
    EXPECT_EQ(countOf(result.out, "forcing terminal state"), 0u);
    EXPECT_EQ(countOf(result.out, "not my turn"), 0u);
}
