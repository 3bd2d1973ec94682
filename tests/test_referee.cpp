// The referee in this process over connections on 127.0.0.1 whose clock has always passed the
// deadline, as on a server too busy to read an answer in time.
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "common/Game.hpp"
#include "common/GameRecord.hpp"
#include "common/Logging.hpp"
#include "common/Map.hpp"
#include "server/Referee.hpp"
#include "tests/support/LogCapture.hpp"
#include "tests/support/NetTestSupport.hpp"
#include "tests/support/TestPaths.hpp"

using namespace testing_support;

// Player 1's answer is in the socket before the referee asks for it, player 2 never answers.
// The referee reads both only when their time is spent: the answer that arrived in time is
// accepted and announced, the missing one disqualifies its player, which ends the game.
TEST(Referee, JudgesAnAnswerByWhenItsBytesArrived) {
    LogCapture log(loggerServer, logcraft::LogLevel::INFO);
    Map map;
    ASSERT_TRUE(map.loadFromFile(mapPath("classic8x8.map")));
    Game shadow(map, true);
    Move move;
    ASSERT_TRUE(shadow.nextMove(move, false));
    LoopbackPair first, second;
    ASSERT_TRUE(first.connected() && second.connected());
    ProtoClient player(first.client.release());
    ASSERT_TRUE(player.send_move(move.x, move.y, move.choice));
    std::vector<std::unique_ptr<ProtoClient>> seats;
    for (LoopbackPair* pair : {&first, &second}) {
        pair->server->setClock(alwaysLate());
        seats.push_back(std::make_unique<ProtoClient>(pair->server.release()));
    }
    GameRecord unwritten;
    Referee referee(map, std::move(seats), MoveLimits{1, 0}, unwritten);
    referee.play();

    EXPECT_FALSE(referee.game().is_disqualified(Player::P1));
    EXPECT_TRUE(referee.game().is_disqualified(static_cast<Player>(2)));
    EXPECT_EQ(log.lines(), (std::vector<std::string>{
                               "INFO Disqualifying player 2: no move within the time limit",
                               "INFO Game over after 1 moves"}));
    MsgType type = MsgType::MOVEREQUEST;
    EXPECT_EQ(player.receive_msg(type, true, 2000), MsgResult::OK);
    type = MsgType::MOVEANNOUNCE;
    ASSERT_EQ(player.receive_msg(type, true, 2000), MsgResult::OK);
    payload_moveannounce announced{};
    ASSERT_EQ(player.get_moveannounce(announced), MsgResult::OK);
    EXPECT_EQ(std::pair(announced.x, announced.y), std::pair(move.x, move.y));
    EXPECT_EQ(announced.player, Player::P1);
    type = MsgType::DISQUALIFICATION;
    EXPECT_EQ(player.receive_msg(type, true, 2000), MsgResult::OK);
    type = MsgType::FIN;
    EXPECT_EQ(player.receive_msg(type, true, 2000), MsgResult::OK);
}
