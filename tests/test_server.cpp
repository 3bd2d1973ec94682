// The real reversi-server against players played by the test itself over 127.0.0.1: the
// opening, move requests with their limits, and disqualifications.
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>

#include <gtest/gtest.h>
#include <unistd.h>

#include "common/Game.hpp"
#include "common/Map.hpp"
#include "common/Network.hpp"
#include "common/Protocol.hpp"
#include "tests/support/ScriptedProcess.hpp"
#include "tests/support/ServerProcess.hpp"
#include "tests/support/ServerTestPlayer.hpp"
#include "tests/support/TestPaths.hpp"

using namespace std::chrono_literals;
using testing_support::hasLogLine;
using testing_support::mapPath;
using testing_support::ServerProcess;
using testing_support::TestPlayer;

namespace {

constexpr auto ProcessLimit = 30s;

std::string mapText(const std::string& name) {
    Map map;
    map.loadFromFile(mapPath(name));
    std::ostringstream text;
    text << map;
    return text.str();
}

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
// two become players 1 and 2, get the map in the writer's layout and a request with the limits
// given on the command line. An illegal answer disqualifies its player before everybody still
// connected, and with one player left the game ends at once.
TEST(ServerOpening, SeatsPlayersInOrderAndDisqualifiesAnIllegalMove) {
    ServerProcess server({"--map", mapPath("classic8x8.map"), "-t", "5000", "-d", "3"});
    const std::uint16_t port = server.waitForPort(10s);
    ASSERT_NE(port, 0);

    TestPlayer rude;
    ASSERT_TRUE(rude.connect(port));
    rude.proto().send_move(3, 3, MoveChoice::NONE);
    EXPECT_EQ(rude.next(), MsgType::FAIL);
    TestPlayer gone;
    ASSERT_TRUE(gone.connect(port));
    gone.leave();

    TestPlayer first;
    TestPlayer second;
    ASSERT_TRUE(first.join(port));
    ASSERT_TRUE(second.join(port));
    EXPECT_EQ(first.player, Player::P1);
    EXPECT_EQ(second.player, static_cast<Player>(2));
    EXPECT_EQ(first.mapText, mapText("classic8x8.map"));

    ASSERT_EQ(first.next(), MsgType::MOVEREQUEST);
    payload_moverequest request{};
    first.proto().get_moverequest(request);
    EXPECT_EQ(request.timelimit, 5000u);
    EXPECT_EQ(request.depthlimit, 3u);

    first.proto().send_move(0, 0, MoveChoice::NONE);
    ASSERT_EQ(first.next(), MsgType::DISQUALIFICATION);
    EXPECT_EQ(first.disqualified(), Player::P1);
    ASSERT_EQ(second.next(), MsgType::DISQUALIFICATION);
    EXPECT_EQ(second.disqualified(), Player::P1);
    EXPECT_EQ(second.next(), MsgType::FIN);

    const auto result = server.wait(ProcessLimit);
    EXPECT_EQ(result.exitStatus, 0) << result.out;
    EXPECT_TRUE(hasLogLine(result.out, "WARN", "Dropping a connection that sent no group id"));
    EXPECT_TRUE(hasLogLine(result.out, "INFO", "Group 7 joined as player 2"));
    EXPECT_TRUE(
        hasLogLine(result.out, "INFO", "Disqualifying player 1: illegal move (0,0) choice 0"));
    EXPECT_TRUE(hasLogLine(result.out, "INFO", "Player 1: disqualified"));
    EXPECT_TRUE(hasLogLine(result.out, "INFO", "Player 2: 2 points and is currently leading"));
}

// Every announced move goes to all players, the mover included, and the move request goes to
// the player on turn only.
TEST(ServerOpening, AnnouncesAcceptedMovesToEveryPlayer) {
    ServerProcess server({"--map", mapPath("classic8x8.map"), "-t", "5000"});
    const std::uint16_t port = server.waitForPort(10s);
    ASSERT_NE(port, 0);
    TestPlayer first;
    TestPlayer second;
    ASSERT_TRUE(first.join(port));
    ASSERT_TRUE(second.join(port));

    ASSERT_EQ(first.next(), MsgType::MOVEREQUEST);
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
    second.leave();
    ASSERT_EQ(first.next(), MsgType::DISQUALIFICATION);
    EXPECT_EQ(first.disqualified(), static_cast<Player>(2));
    EXPECT_EQ(first.next(), MsgType::FIN);
    const auto result = server.wait(ProcessLimit);
    EXPECT_EQ(result.exitStatus, 0) << result.out;
    EXPECT_TRUE(hasLogLine(result.out, "INFO",
                           "Disqualifying player 2: connection lost or corrupt message"));
}

// A connection gets 10 s to send its group id: one that sends it after a second is seated, one
// that stays silent holds up the seating until its time is up and is then closed without a
// seat, and the next connection takes the seat.
TEST(ServerOpening, DropsAConnectionThatSendsNoGroupIdInTime) {
    ServerProcess server({"--map", mapPath("classic8x8.map")});
    const std::uint16_t port = server.waitForPort(10s);
    ASSERT_NE(port, 0);
    TestPlayer late;
    TestPlayer silent;
    TestPlayer last;
    ASSERT_TRUE(late.connect(port));
    ASSERT_TRUE(silent.connect(port));
    std::this_thread::sleep_for(1s);
    ASSERT_TRUE(late.open());
    EXPECT_EQ(late.player, Player::P1);
    ASSERT_TRUE(last.join(port, 30000));
    EXPECT_EQ(last.player, static_cast<Player>(2));
    MsgType type = MsgType::FAIL;
    EXPECT_EQ(silent.proto().receive_msg(type, false, 1000), MsgResult::FAIL);

    late.leave();
    EXPECT_TRUE(last.skipTo(MsgType::FIN));
    const auto result = server.wait(ProcessLimit);
    EXPECT_EQ(result.exitStatus, 0) << result.out;
    EXPECT_TRUE(hasLogLine(result.out, "WARN", "Dropping a connection that sent no group id"));
}

// The time limit counts from the request: a legal move whose bytes trickle in, each gap far
// below the limit but the whole well beyond it, arrives too late.
TEST(ServerTimeLimit, TricklingAMoveDoesNotStretchTheLimit) {
    ServerProcess server({"--map", mapPath("classic8x8.map"), "-t", "300"});
    const std::uint16_t port = server.waitForPort(10s);
    ASSERT_NE(port, 0);
    TestPlayer first;
    TestPlayer second;
    ASSERT_TRUE(first.join(port));
    ASSERT_TRUE(second.join(port));
    ASSERT_EQ(first.next(), MsgType::MOVEREQUEST);

    const Move move = firstLegalMove(first.mapText);
    const std::uint8_t bytes[] = {
        5, 0, 0, 0, 5, 0, static_cast<std::uint8_t>(move.x), 0, static_cast<std::uint8_t>(move.y),
        0};
    for (std::uint8_t byte : bytes) {
        std::this_thread::sleep_for(80ms);
        first.sendRaw(&byte, 1);
    }
    ASSERT_EQ(first.next(), MsgType::DISQUALIFICATION);
    EXPECT_EQ(first.disqualified(), Player::P1);
    const auto result = server.wait(ProcessLimit);
    EXPECT_EQ(result.exitStatus, 0) << result.out;
    EXPECT_TRUE(
        hasLogLine(result.out, "INFO", "Disqualifying player 1: no move within the time limit"));
}

// The server refuses to start on a map the reader rejects, or without a map, and says why.
TEST(ServerOpening, RefusesAnInvalidMapOrNone) {
    const std::string badMap = (std::filesystem::temp_directory_path() /
                                ("reversi-server-bad-" + std::to_string(getpid()) + ".map"))
                                   .string();
    std::ofstream(badMap) << "9\n0\n0 0\n1 2\n0 0\n";
    ServerProcess invalid({"--map", badMap});
    const auto result = invalid.wait(ProcessLimit);
    std::filesystem::remove(badMap);
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_TRUE(hasLogLine(result.out, "ERROR", "Invalid number of players: 9")) << result.out;
    EXPECT_EQ(result.out.find("Listening on port"), std::string::npos);

    ServerProcess none({});
    const auto noMap = none.wait(ProcessLimit);
    EXPECT_EQ(noMap.exitStatus, 1);
    EXPECT_NE(noMap.out.find("Argument -m file is required"), std::string::npos) << noMap.out;
}
