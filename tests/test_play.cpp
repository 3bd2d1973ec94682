// scripts/play end to end: a person (scripted input) plays a whole game against a bot with the
// real server, bot and console client, sees the final board and scores, and nothing the script
// started outlives it, also when the person presses Ctrl-C.
#include <chrono>
#include <csignal>
#include <cstdlib>
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
using testing_support::ScriptedProcess;
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

// An empty folder of its own for the script's temporary files, removed with the object.
struct TempFolder {
    std::filesystem::path path;

    TempFolder() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "reversi-play-test-XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr) {
            path = pattern;
        }
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    bool empty() const { return std::filesystem::is_empty(path); }
};

// The script as a shell runs a job: in a process group of its own, with its temporary files
// in `temp`.
ProcessOptions playOptions(const TempFolder& temp, std::string input) {
    ProcessOptions options;
    options.input = std::move(input);
    options.ownProcessGroup = true;
    options.environment = {"TMPDIR=" + temp.path.string()};
    return options;
}

std::vector<std::string> playArgs() {
    return {"--bin", programFolder(), "--seed",
            "5",     "--map",         testing_support::mapPath("classic8x8.map")};
}

} // namespace

TEST(PlayScript, PersonPlaysAWholeGameAgainstABot) {
    TempFolder temp;
    ASSERT_FALSE(temp.path.empty());
    const auto result =
        runProcess(playScript(), playArgs(), 60s, playOptions(temp, everySquareOverAndOver()));
    ASSERT_FALSE(result.timedOut);
    EXPECT_EQ(result.exitStatus, 0) << result.out << result.err;
    EXPECT_TRUE(hasLogLine(result.out, "INFO", "OK. You are player 2"));
    EXPECT_GT(countOf(result.out, "Sent move to server: Player 2 "), 0u);
    EXPECT_TRUE(hasLogLine(result.out, "INFO", "Received end of game, stopping game"));
    const auto board = result.out.find("Final board:\n     0  1  2  3  4  5  6  7");
    const auto scores = result.out.find("Final scores:\n");
    ASSERT_NE(board, std::string::npos) << result.out;
    ASSERT_NE(scores, std::string::npos) << result.out;
    EXPECT_LT(board, scores);
    EXPECT_EQ(countOf(result.out.substr(scores), "\n  Player "), 2u);
    EXPECT_FALSE(result.leftProcessesBehind) << result.err;
    EXPECT_TRUE(temp.empty());
}

// Ctrl-C reaches the whole job, as a terminal sends it; a plain kill reaches the script alone.
// Either way the script stops the server, which would otherwise wait for the second person
// forever, and the client, and removes its logs.
TEST(PlayScript, SignalsStopEverythingTheScriptStarted) {
    struct Case {
        int signal;
        bool wholeGroup;
        int exitStatus;
    };
    for (const Case c : {Case{SIGINT, true, 130}, Case{SIGTERM, false, 143}}) {
        SCOPED_TRACE(c.signal);
        TempFolder temp;
        ASSERT_FALSE(temp.path.empty());
        auto options = playOptions(temp, "");
        options.keepInputOpen = true;
        auto args = playArgs();
        args.insert(args.end(), {"--humans", "2"});
        ScriptedProcess play(playScript(), args, options);
        ASSERT_TRUE(play.waitForOutput("Waiting for 1 more player(s): ", 30s));
        ASSERT_TRUE(play.waitForOutput("Waiting for server to send board...", 30s));
        play.signal(c.signal, c.wholeGroup);
        const auto result = play.wait(30s);
        ASSERT_FALSE(result.timedOut);
        EXPECT_EQ(result.exitStatus, c.exitStatus) << result.out << result.err;
        EXPECT_FALSE(result.leftProcessesBehind) << result.err;
        EXPECT_TRUE(temp.empty());
    }
}

TEST(PlayScript, RefusesBadOptions) {
    struct Case {
        std::vector<std::string> args;
        std::string error;
    };
    const Case cases[] = {
        {{"--humans", "3"}, "The number of human seats must be between 1 and 2 for this map"},
        {{"--humans", "0"}, "The number of human seats must be between 1 and 2 for this map"},
        {{"--humans", "x"}, "The number of human seats must be a number"},
        {{"--map"}, "Option --map needs a value"},
        {{"--map", sourceDir() + "/README.md"}, "The server did not start as expected"},
        {{"--frobnicate"}, "Unknown option: --frobnicate"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.error);
        TempFolder temp;
        auto args = c.args;
        args.insert(args.begin(), {"--bin", programFolder()});
        const auto result = runProcess(playScript(), args, 30s, playOptions(temp, ""));
        EXPECT_EQ(result.exitStatus, 1);
        EXPECT_NE(result.err.find(c.error), std::string::npos) << result.err;
        EXPECT_FALSE(result.leftProcessesBehind) << result.err;
        EXPECT_TRUE(temp.empty());
    }
}
