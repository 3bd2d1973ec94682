// scripts/play end to end: a person (scripted input) plays a whole game against a bot with the
// real server, bot and console client, and sees the final scores.
#include <chrono>
#include <filesystem>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "tests/support/ScriptedProcess.hpp"
#include "tests/support/TestPaths.hpp"

using namespace std::chrono_literals;
using testing_support::countOf;
using testing_support::hasLogLine;
using testing_support::ProcessOptions;
using testing_support::runProcess;
using testing_support::sourceDir;

namespace {

std::string playScript() {
    return sourceDir() + "/scripts/play";
}

std::string programFolder() {
    return std::filesystem::path(testing_support::programPath("reversi-client"))
        .parent_path()
        .string();
}

// A person who tries every square in reading order, one "x y" line each, and starts over; an
// illegal square only costs a retry, so every request ends with a legal move.
std::string everySquareOverAndOver() {
    std::ostringstream input;
    for (int round = 0; round < 40; ++round) {
        for (int y = 0; y < 8; ++y) {
            for (int x = 0; x < 8; ++x) {
                input << x << ' ' << y << '\n';
            }
        }
    }
    return input.str();
}

} // namespace

TEST(PlayScript, PersonPlaysAWholeGameAgainstABot) {
    ProcessOptions options;
    options.input = everySquareOverAndOver();
    const auto result = runProcess(playScript(),
                                   {"--bin", programFolder(), "--seed", "5", "--map",
                                    testing_support::mapPath("classic8x8.map")},
                                   60s, options);
    ASSERT_FALSE(result.timedOut);
    EXPECT_EQ(result.exitStatus, 0) << result.out << result.err;
    EXPECT_TRUE(hasLogLine(result.out, "INFO", "OK. You are player 2"));
    EXPECT_GT(countOf(result.out, "Sent move to server: Player 2 "), 0u);
    EXPECT_TRUE(hasLogLine(result.out, "INFO", "Received end of game, stopping game"));
    const auto scores = result.out.find("Final scores:\n");
    ASSERT_NE(scores, std::string::npos) << result.out;
    EXPECT_EQ(countOf(result.out.substr(scores), "\n  Player "), 2u);
}

TEST(PlayScript, RefusesMoreHumanSeatsThanTheMapHas) {
    const auto result = runProcess(playScript(), {"--bin", programFolder(), "--humans", "3"}, 30s);
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_NE(result.err.find("The number of human seats must be between 1 and 2 for this map"),
              std::string::npos)
        << result.err;
}
