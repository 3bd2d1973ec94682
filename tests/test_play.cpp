// scripts/play end to end: a person (scripted input) plays a whole game against the AI with the
// real server, AI and console client, sees the final board and scores and is told their seat
// and place, and nothing the script started outlives it, also when the person presses Ctrl-C.
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <sstream>

#include <gtest/gtest.h>

#include "tests/support/ScriptedProcess.hpp"
#include "tests/support/TestPaths.hpp"

using namespace std::chrono_literals;
using namespace testing_support;

namespace {

// One run of the script as a shell runs a job: in a process group of its own, through `env`
// with an empty folder of its own for its temporary files (removed with the object), and with
// the built programs and a repeatable game on the classic map.
struct PlayRun {
    std::filesystem::path temp;
    ProcessOptions options;

    explicit PlayRun(std::string input = "") {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "reversi-play-test-XXXXXX").string();
        temp = mkdtemp(pattern.data()) != nullptr ? pattern : "";
        options.input = std::move(input);
        options.ownProcessGroup = true;
    }
    ~PlayRun() {
        std::error_code ignored;
        std::filesystem::remove_all(temp, ignored);
    }
    std::vector<std::string> args(const std::vector<std::string>& more = {}) const {
        const auto bin = std::filesystem::path(programPath("reversi-client")).parent_path();
        std::vector<std::string> all{"TMPDIR=" + temp.string(),
                                     sourceDir() + "/scripts/play",
                                     "--bin",
                                     bin.string(),
                                     "--seed",
                                     "5",
                                     "--map",
                                     mapPath("classic8x8.map")};
        all.insert(all.end(), more.begin(), more.end());
        return all;
    }
    bool leftNoFiles() const { return !temp.empty() && std::filesystem::is_empty(temp); }
};

const std::string Env = "/usr/bin/env";

} // namespace

// The person tries every square in reading order, one "x y" line each, and starts over; an
// illegal square only costs a retry, so every request ends with a legal move. The opponent is
// the AI, given little time so that the game is quick.
TEST(PlayScript, PersonPlaysAWholeGameAgainstTheAi) {
    std::ostringstream input;
    for (int square = 0; square < 40 * 64; ++square) {
        input << square % 8 << ' ' << square / 8 % 8 << '\n';
    }
    PlayRun run(input.str());
    const auto result = runProcess(Env, run.args({"--movetime", "60"}), 60s, run.options);
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
    std::smatch points;
    ASSERT_TRUE(std::regex_search(
        result.out, points, std::regex("Player 1: (\\d+) points.*\n  Player 2: (\\d+) points")));
    const int ai = std::stoi(points[1]);
    const int person = std::stoi(points[2]);
    const std::string place = person > ai    ? "finished first"
                              : person == ai ? "shared first"
                                             : "finished second";
    EXPECT_TRUE(result.out.ends_with("\nYou were player 2 and " + place + " of 2 (" +
                                     std::to_string(person) + " points against " +
                                     std::to_string(ai) + ").\n"))
        << result.out;
    EXPECT_FALSE(result.leftProcessesBehind) << result.err;
    EXPECT_TRUE(run.leftNoFiles());
}

// A person who gives up at once (end of input) is disqualified, and told so at the end.
TEST(PlayScript, APersonWhoGivesUpIsToldTheyWereDisqualified) {
    PlayRun run;
    const auto result = runProcess(Env, run.args({"--opponent", "bot"}), 60s, run.options);
    ASSERT_FALSE(result.timedOut);
    EXPECT_TRUE(result.out.ends_with("  Player 2: disqualified\n"
                                     "You were player 2 and were disqualified.\n"))
        << result.out;
    EXPECT_FALSE(result.leftProcessesBehind) << result.err;
    EXPECT_TRUE(run.leftNoFiles());
}

// Ctrl-C reaches the whole job, as a terminal sends it; a plain kill reaches the script alone.
// Either way the script stops the server, which would otherwise wait for the second person
// forever, and the client, and removes its logs.
TEST(PlayScript, SignalsStopEverythingTheScriptStarted) {
    for (const auto& [signal, wholeGroup, exitStatus] :
         {std::tuple{SIGINT, true, 130}, std::tuple{SIGTERM, false, 143}}) {
        SCOPED_TRACE(signal);
        PlayRun run;
        run.options.keepInputOpen = true;
        ScriptedProcess play(Env, run.args({"--humans", "2"}), run.options);
        ASSERT_TRUE(play.waitForLine("Waiting for 1 more player(s): ", 30s));
        ASSERT_TRUE(play.waitForLine("Waiting for server to send board...", 30s));
        play.signal(signal, wholeGroup);
        const auto result = play.wait(30s);
        ASSERT_FALSE(result.timedOut);
        EXPECT_EQ(result.exitStatus, exitStatus) << result.out << result.err;
        EXPECT_FALSE(result.leftProcessesBehind) << result.err;
        EXPECT_TRUE(run.leftNoFiles());
    }
}

TEST(PlayScript, RefusesBadOptions) {
    const std::string humans = "The number of human seats must be between 1 and 2 for this map";
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"--humans", "3"}, humans},
        {{"--humans", "0"}, humans},
        {{"--humans", "x"}, "The number of human seats must be a number"},
        {{"--map"}, "Option --map needs a value"},
        {{"--map", sourceDir() + "/README.md"}, "The server did not start as expected"},
        {{"--frobnicate"}, "Unknown option: --frobnicate"},
        {{"--opponent", "human"}, "The opponent must be ai or bot"},
        {{"--movetime", "0"}, "The move time must be a positive number"},
    };
    for (const auto& [args, error] : cases) {
        SCOPED_TRACE(error);
        PlayRun run;
        const auto result = runProcess(Env, run.args(args), 30s, run.options);
        EXPECT_EQ(result.exitStatus, 1);
        EXPECT_NE(result.err.find(error), std::string::npos) << result.err;
        EXPECT_FALSE(result.leftProcessesBehind) << result.err;
        EXPECT_TRUE(run.leftNoFiles());
    }
}
