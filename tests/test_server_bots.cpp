// Whole games of the real server with real bots on 127.0.0.1: every sample map played to its
// end, players that misbehave in each way the server guards against, and the game record
// replayed to the server's own final board and scores.
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>

#include <gtest/gtest.h>
#include <unistd.h>

#include "common/Map.hpp"
#include "tests/support/ServerHarness.hpp"
#include "tests/support/TestPaths.hpp"

using namespace std::chrono_literals;
using namespace testing_support;

namespace {

// Only a guard against a hang: the largest map takes half a minute in a sanitizer build on a
// busy machine.
constexpr auto GameLimit = 300s;

using Bots = std::vector<std::unique_ptr<ScriptedProcess>>;

Bots startBots(std::uint16_t port, unsigned count) {
    Bots bots;
    for (unsigned seed = 1; seed <= count; ++seed) {
        bots.push_back(std::make_unique<ScriptedProcess>(
            programPath("reversi-bot"),
            std::vector<std::string>{"--server", "127.0.0.1", "--port", std::to_string(port),
                                     "--seed", std::to_string(seed)}));
    }
    return bots;
}

void expectBotsFinish(Bots& bots) {
    for (auto& bot : bots) {
        const auto result = bot->wait(GameLimit);
        EXPECT_EQ(result.exitStatus, 0) << result.out << result.err;
        EXPECT_TRUE(hasLogLine(result.out, "INFO", "Received end of game, stopping game"));
    }
}

// A record file in the temporary folder, named after this process, removed with the object.
struct RecordFile {
    static inline int count = 0;
    std::string path =
        (std::filesystem::temp_directory_path() /
         ("reversi-record-" + std::to_string(getpid()) + "-" + std::to_string(++count)))
            .string();
    ~RecordFile() { std::filesystem::remove(path); }
};

// The record must replay, move by move as legal moves, to the board and scores the server
// logged at the end, and state those scores itself.
void expectRecordReplays(const std::string& record, const std::string& serverOut) {
    const ReplayedRecord replay(record);
    ASSERT_EQ(replay.error, "");
    EXPECT_TRUE(replay.final);
    EXPECT_EQ(replay.board, finalBoardFromLog(serverOut));
    EXPECT_EQ(replay.scores, replay.recordedScores);
    for (std::size_t i = 0; i < replay.scores.size(); ++i) {
        const std::string player = "Player " + std::to_string(i + 1) + ": ";
        EXPECT_TRUE(replay.scores[i] < 0
                        ? hasLogLine(serverOut, "INFO", player + "disqualified")
                        : serverOut.find(player + std::to_string(replay.scores[i]) + " points") !=
                              std::string::npos)
            << player << replay.scores[i];
    }
}

} // namespace

TEST(ServerWithBots, BotsPlayEverySampleMapToTheEnd) {
    std::vector<std::filesystem::path> maps;
    for (const auto& entry : std::filesystem::directory_iterator(mapPath(""))) {
        if (entry.path().extension() == ".map") {
            maps.push_back(entry.path());
        }
    }
    ASSERT_FALSE(maps.empty());
    std::sort(maps.begin(), maps.end());
    for (const auto& path : maps) {
        SCOPED_TRACE(path);
        Map map;
        ASSERT_TRUE(map.loadFromFile(path.string()));
        RecordFile record;
        GameServer server(
            {"--map", path.string(), "--timelimit", "30000", "--record", record.path});
        ASSERT_NE(server.port, 0);
        Bots bots = startBots(server.port, map.getPlayers());
        expectBotsFinish(bots);
        const auto result = server.wait(GameLimit);
        ASSERT_EQ(result.exitStatus, 0) << result.out;
        EXPECT_FALSE(hasLogLine(result.out, "INFO", "Disqualifying player"));
        expectRecordReplays(record.path, result.out);
    }
}

// The test's player takes seat 1 of a four-player map, bots take the others. Whatever the
// player does when asked for its first move (nothing at all: it left before the bots came),
// it is disqualified (and told so while it is still connected), the bots play on to the end,
// every program exits 0, and the record replays the disqualification.
TEST(ServerWithBots, MisbehavingPlayerIsDisqualifiedAndTheOthersFinish) {
    const struct {
        const char* name;
        std::function<void(TestPlayer&)> misdeed;
        // The reasons the server may log (a connection closed early may be noticed on sending
        // or on receiving).
        std::vector<std::string> reasons;
    } cases[] = {
        {"illegal move",
         [](TestPlayer& p) { p.proto().send_move(60000, 0, MoveChoice::NONE); },
         {"illegal move (60000,0) choice 0"}},
        {"silence", [](TestPlayer&) {}, {"no move within the time limit"}},
        {"wrong message",
         [](TestPlayer& p) { p.proto().send_client_groupid(7); },
         {"sent another message than a move"}},
        {"disconnect",
         [](TestPlayer& p) { p.disconnect(); },
         {"connection lost or corrupt message"}},
        {"leave at once", nullptr, {"disconnected", "connection lost or corrupt message"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RecordFile record;
        GameServer server({"--map", mapPath("transitions4p.map"), "--timelimit", "4000", "--record",
                           record.path});
        ASSERT_NE(server.port, 0);
        TestPlayer player;
        ASSERT_TRUE(player.join(server.port));
        ASSERT_EQ(player.player, Player::P1);
        if (!c.misdeed) {
            player.disconnect();
        }
        Bots bots = startBots(server.port, 3);
        if (c.misdeed) {
            ASSERT_TRUE(player.skipTo(MsgType::MOVEREQUEST));
            c.misdeed(player);
        }
        if (player.attached()) {
            ASSERT_TRUE(player.skipTo(MsgType::DISQUALIFICATION));
            EXPECT_EQ(player.disqualified(), Player::P1);
        }
        expectBotsFinish(bots);
        const auto result = server.wait(GameLimit);
        ASSERT_EQ(result.exitStatus, 0) << result.out;
        EXPECT_TRUE(std::any_of(c.reasons.begin(), c.reasons.end(), [&](const std::string& r) {
            return hasLogLine(result.out, "INFO", "Disqualifying player 1: " + r);
        })) << result.out;
        expectRecordReplays(record.path, result.out);
    }
}
