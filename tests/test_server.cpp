// The real reversi-server against players played by the test itself over 127.0.0.1: the
// opening, move requests with their limits, and disqualifications.
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>
#include <unistd.h>

#include "common/Game.hpp"
#include "common/Map.hpp"
#include "tests/support/ServerHarness.hpp"
#include "tests/support/TestPaths.hpp"

using namespace std::chrono_literals;
using namespace testing_support;

namespace {

constexpr auto ProcessLimit = 30s;
const Player P2 = static_cast<Player>(2);

// The first legal move of player 1 on the map the server sent.
Move firstLegalMove(const std::string& text) {
    Map map;
    map.loadFromString(text);
    Game game(map, true);
    Move move;
    game.nextMove(move, false);
    return move;
}

} // namespace

// Connections that do not open with a group id are dropped without taking a seat; the next
// two become players 1 and 2, get the map in the writer's layout and requests with the limits
// given on the command line. An accepted move goes to both players, the mover included, and
// the request to the player on turn only. An illegal answer disqualifies its player before
// everybody still connected, and with one player left the game ends at once.
TEST(ServerOpening, SeatsPlayersAnnouncesMovesAndDisqualifiesAnIllegalOne) {
    GameServer server({"--map", mapPath("classic8x8.map"), "-t", "5000", "-d", "3"});
    ASSERT_NE(server.port, 0);
    TestPlayer rude, gone, first, second;
    ASSERT_TRUE(rude.connect(server.port));
    rude.proto().send_move(3, 3, MoveChoice::NONE);
    EXPECT_EQ(rude.next(), MsgType::FAIL);
    ASSERT_TRUE(gone.connect(server.port));
    gone.disconnect();
    ASSERT_TRUE(first.join(server.port));
    ASSERT_TRUE(second.join(server.port));
    EXPECT_EQ(first.player, Player::P1);
    EXPECT_EQ(second.player, P2);
    Map map;
    ASSERT_TRUE(map.loadFromFile(mapPath("classic8x8.map")));
    std::ostringstream written;
    written << map;
    EXPECT_EQ(first.mapText, written.str());

    ASSERT_EQ(first.next(), MsgType::MOVEREQUEST);
    payload_moverequest request{};
    first.proto().get_moverequest(request);
    EXPECT_EQ(request.timelimit, 5000u);
    EXPECT_EQ(request.depthlimit, 3u);
    const Move move = firstLegalMove(first.mapText);
    first.proto().send_move(move.x, move.y, move.choice);
    for (TestPlayer* player : {&first, &second}) {
        ASSERT_EQ(player->next(), MsgType::MOVEANNOUNCE);
        payload_moveannounce announced{};
        player->proto().get_moveannounce(announced);
        EXPECT_EQ(announced.x, move.x);
        EXPECT_EQ(announced.y, move.y);
        EXPECT_EQ(announced.player, Player::P1);
    }
    ASSERT_EQ(second.next(), MsgType::MOVEREQUEST);
    second.proto().send_move(0, 0, MoveChoice::NONE);
    for (TestPlayer* player : {&second, &first}) {
        ASSERT_EQ(player->next(), MsgType::DISQUALIFICATION);
        EXPECT_EQ(player->disqualified(), P2);
    }
    EXPECT_EQ(first.next(), MsgType::FIN);

    const auto result = server.wait(ProcessLimit);
    EXPECT_EQ(result.exitStatus, 0) << result.out;
    EXPECT_TRUE(hasLogLine(result.out, "WARN", "Dropping a connection that sent no group id"));
    for (const char* line :
         {"Group 7 joined as player 2", "Disqualifying player 2: illegal move (0,0) choice 0",
          "Player 2: disqualified", "Player 1: 4 points and is currently leading"}) {
        EXPECT_TRUE(hasLogLine(result.out, "INFO", line)) << line << "\n" << result.out;
    }
}

// A connection gets 10 s to send its group id: one that sends it after a second is seated, one
// that stays silent holds up the seating until its time is up and is then closed without a
// seat, and the next connection takes the seat. The time limit of a move counts from the
// request: a legal move whose bytes trickle in, each gap far below the limit but the whole
// well beyond it, arrives too late.
TEST(ServerTimeLimits, GroupIdWithinTenSecondsAndNoTricklingPastTheMoveLimit) {
    GameServer server({"--map", mapPath("classic8x8.map"), "-t", "200"});
    ASSERT_NE(server.port, 0);
    TestPlayer late, silent, last;
    ASSERT_TRUE(late.connect(server.port));
    ASSERT_TRUE(silent.connect(server.port));
    std::this_thread::sleep_for(1s);
    ASSERT_TRUE(late.open());
    EXPECT_EQ(late.player, Player::P1);
    ASSERT_TRUE(last.connect(server.port));
    ASSERT_TRUE(last.open(30s));
    EXPECT_EQ(last.player, P2);
    EXPECT_EQ(silent.next(1s), MsgType::FAIL);

    ASSERT_EQ(late.next(), MsgType::MOVEREQUEST);
    const Move move = firstLegalMove(late.mapText);
    const char bytes[] = {5, 0, 0, 0, 5, 0, static_cast<char>(move.x), 0, static_cast<char>(move.y),
                          0};
    for (const char byte : bytes) {
        std::this_thread::sleep_for(50ms);
        late.sendRaw(std::string(1, byte));
    }
    ASSERT_EQ(late.next(), MsgType::DISQUALIFICATION);
    EXPECT_EQ(late.disqualified(), Player::P1);
    EXPECT_TRUE(last.skipTo(MsgType::FIN));
    const auto result = server.wait(ProcessLimit);
    EXPECT_EQ(result.exitStatus, 0) << result.out;
    EXPECT_TRUE(hasLogLine(result.out, "WARN", "Dropping a connection that sent no group id"));
    EXPECT_TRUE(
        hasLogLine(result.out, "INFO", "Disqualifying player 1: no move within the time limit"));
}

// The server refuses to start on a map the reader rejects, or without a map, and says why.
TEST(ServerOpening, RefusesAnInvalidMapOrNone) {
    const auto badMap = std::filesystem::temp_directory_path() /
                        ("reversi-server-bad-" + std::to_string(getpid()) + ".map");
    std::ofstream(badMap) << "9\n0\n0 0\n1 2\n0 0\n";
    const auto server = programPath("reversi-server");
    const auto invalid = runProcess(server, {"-p", "0", "--map", badMap.string()}, ProcessLimit);
    std::filesystem::remove(badMap);
    EXPECT_EQ(invalid.exitStatus, 1);
    EXPECT_TRUE(hasLogLine(invalid.out, "ERROR", "Invalid number of players: 9")) << invalid.out;
    EXPECT_EQ(invalid.out.find("Listening on port"), std::string::npos);

    const auto noMap = runProcess(server, {"-p", "0"}, ProcessLimit);
    EXPECT_EQ(noMap.exitStatus, 1);
    EXPECT_NE(noMap.err.find("Argument -m file is required"), std::string::npos) << noMap.err;
}
