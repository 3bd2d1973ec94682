// The lines by which reversi-server tells its port and its seats: the real server's output
// read back with the parsers that reversi-arena uses, and the parsers' refusals.
#include <chrono>
#include <sstream>

#include <gtest/gtest.h>

#include "common/ServerAnnouncements.hpp"
#include "tests/support/ServerHarness.hpp"
#include "tests/support/TestPaths.hpp"

using namespace std::chrono_literals;
using namespace testing_support;

// Two players join and leave at once, so that the server ends its game; every line of its
// log is given to both parsers.
TEST(ServerAnnouncements, TheServersLinesParseBack) {
    GameServer server({"--map", mapPath("classic8x8.map")});
    ASSERT_NE(server.port, 0);
    TestPlayer first, second;
    ASSERT_TRUE(first.join(server.port));
    ASSERT_TRUE(second.join(server.port));
    first.disconnect();
    second.disconnect();
    const auto result = server.wait(30s);
    ASSERT_EQ(result.exitStatus, 0) << result.out;
    std::vector<unsigned> ports, players;
    std::istringstream lines(result.out);
    for (std::string line; std::getline(lines, line);) {
        if (const auto port = announcedPort(line)) {
            ports.push_back(*port);
        }
        if (const auto player = announcedPlayer(line)) {
            players.push_back(*player);
        }
    }
    EXPECT_EQ(ports, std::vector<unsigned>{server.port}) << result.out;
    EXPECT_EQ(players, (std::vector<unsigned>{1, 2})) << result.out;
}

// The texts are what scripts/play and scripts/check-install look for as well.
TEST(ServerAnnouncements, FormattedLinesParseBackAndOthersDoNot) {
    EXPECT_EQ(listeningAnnouncement(7777), "Listening on port 7777");
    EXPECT_EQ(joinedAnnouncement(7, 2), "Group 7 joined as player 2");
    for (const unsigned port : {0u, 1u, 7777u, 65535u}) {
        EXPECT_EQ(announcedPort("[ INFO] 21:54:23 " + listeningAnnouncement(port)), port);
    }
    EXPECT_EQ(announcedPlayer("[ INFO] 21:54:23 " + joinedAnnouncement(255, 8)), 8u);
    for (const char* line :
         {"Listening on port", "Listening on port ", "Listening on port 65536",
          "Listening on port -1", "Listening on port 12x", "Listening on port 7777 ",
          "Listening on port 99999999999999999999", "Cannot listen on port 7777. aborting.",
          "Group 7 joined as player 2", ""}) {
        EXPECT_FALSE(announcedPort(line).has_value()) << line;
    }
    for (const char* line : {"Group 7 joined as player ", "Group 7 joined as player 2 again",
                             "Group 7 joined as player 256", "Listening on port 2"}) {
        EXPECT_FALSE(announcedPlayer(line).has_value()) << line;
    }
}
