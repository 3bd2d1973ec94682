// Whole games of the real server with real bots on 127.0.0.1: every sample map played to its
// end, players that misbehave in each way the server guards against, and the game record
// replayed to the server's own final board and scores.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <unistd.h>

#include "common/Map.hpp"
#include "tests/support/ScriptedProcess.hpp"
#include "tests/support/ServerProcess.hpp"
#include "tests/support/ServerRecordReplay.hpp"
#include "tests/support/ServerTestPlayer.hpp"
#include "tests/support/TestPaths.hpp"

using namespace std::chrono_literals;
using testing_support::hasLogLine;
using testing_support::mapPath;
using testing_support::programPath;
using testing_support::ScriptedProcess;
using testing_support::ServerProcess;
using testing_support::TestPlayer;

namespace {

// Only a guard against a hang: the largest map takes half a minute in a sanitizer build on a
// busy machine.
constexpr auto GameLimit = 300s;

using Bots = std::vector<std::unique_ptr<ScriptedProcess>>;

void startBots(Bots& bots, std::uint16_t port, unsigned count) {
    for (unsigned i = 0; i < count; ++i) {
        const std::string seed = std::to_string(bots.size() + 1);
        bots.push_back(std::make_unique<ScriptedProcess>(
            programPath("reversi-bot"),
            std::vector<std::string>{"--server", "127.0.0.1", "--port", std::to_string(port),
                                     "--seed", seed}));
    }
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
    ~RecordFile() { std::remove(path.c_str()); }
};

// The record must replay, move by move as legal moves, to the board and scores the server
// logged at the end, and state those scores itself.
void expectRecordReplays(const std::string& record, const std::string& serverOut) {
    const auto replay = testing_support::replayRecord(record);
    ASSERT_EQ(replay.error, "");
    EXPECT_TRUE(replay.final);
    EXPECT_EQ(replay.board, testing_support::finalBoardFromLog(serverOut));
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

std::vector<std::string> sampleMaps() {
    std::vector<std::string> maps;
    for (const auto& entry : std::filesystem::directory_iterator(mapPath(""))) {
        if (entry.path().extension() == ".map") {
            maps.push_back(entry.path().string());
        }
    }
    std::sort(maps.begin(), maps.end());
    return maps;
}

} // namespace

TEST(ServerWithBots, BotsPlayEverySampleMapToTheEnd) {
    const auto maps = sampleMaps();
    ASSERT_FALSE(maps.empty());
    for (const std::string& path : maps) {
        SCOPED_TRACE(path);
        Map map;
        ASSERT_TRUE(map.loadFromFile(path));
        RecordFile record;
        ServerProcess server({"--map", path, "--timelimit", "30000", "--record", record.path});
        const std::uint16_t port = server.waitForPort(10s);
        ASSERT_NE(port, 0) << server.output();
        Bots bots;
        startBots(bots, port, map.getPlayers());
        expectBotsFinish(bots);
        const auto result = server.wait(GameLimit);
        ASSERT_EQ(result.exitStatus, 0) << result.out;
        EXPECT_FALSE(hasLogLine(result.out, "INFO", "Disqualifying player"));
        expectRecordReplays(record.path, result.out);
    }
}

namespace {

// What the test's own player does when it is asked for its first move.
enum class Misdeed { IllegalMove, Silence, WrongMessage, Disconnect, LeaveAtOnce };

struct MisdeedCase {
    Misdeed misdeed;
    const char* name;
    // The reasons the server may log (a connection closed early may be noticed on sending or
    // on receiving).
    std::vector<std::string> reasons;
};

void misbehave(TestPlayer& player, Misdeed misdeed) {
    switch (misdeed) {
    case Misdeed::IllegalMove:
        player.proto().send_move(60000, 0, MoveChoice::NONE);
        break;
    case Misdeed::Silence:
        break;
    case Misdeed::WrongMessage:
        player.proto().send_client_groupid(7);
        break;
    case Misdeed::Disconnect:
    case Misdeed::LeaveAtOnce:
        player.leave();
        break;
    }
}

} // namespace

// The test's player takes seat 1 of a four-player map, bots take the others. Whatever the
// misdeed, the player is disqualified (and told so while it is still connected), the bots play
// on to the end, every program exits 0, and the record replays the disqualification.
TEST(ServerWithBots, MisbehavingPlayerIsDisqualifiedAndTheOthersFinish) {
    const std::vector<MisdeedCase> cases{
        {Misdeed::IllegalMove, "illegal move", {"illegal move (60000,0) choice 0"}},
        {Misdeed::Silence, "silence", {"no move within the time limit"}},
        {Misdeed::WrongMessage, "wrong message", {"sent another message than a move"}},
        {Misdeed::Disconnect, "disconnect", {"connection lost or corrupt message"}},
        {Misdeed::LeaveAtOnce,
         "leave at once",
         {"disconnected", "connection lost or corrupt message"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RecordFile record;
        ServerProcess server({"--map", mapPath("transitions4p.map"), "--timelimit", "4000",
                              "--record", record.path});
        const std::uint16_t port = server.waitForPort(10s);
        ASSERT_NE(port, 0) << server.output();
        TestPlayer player;
        ASSERT_TRUE(player.join(port));
        ASSERT_EQ(player.player, Player::P1);
        if (c.misdeed == Misdeed::LeaveAtOnce) {
            player.leave();
        }
        Bots bots;
        startBots(bots, port, 3);
        if (c.misdeed != Misdeed::LeaveAtOnce) {
            ASSERT_TRUE(player.skipTo(MsgType::MOVEREQUEST));
            misbehave(player, c.misdeed);
        }
        if (c.misdeed != Misdeed::Disconnect && c.misdeed != Misdeed::LeaveAtOnce) {
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
