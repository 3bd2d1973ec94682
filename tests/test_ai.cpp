// reversi-ai as players and organisers run it: a whole game at the real server against a bot
// under a short time limit, the offline analysis, and its options.
#include <chrono>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>
#include <unistd.h>

#include "tests/support/ServerHarness.hpp"
#include "tests/support/TempFolder.hpp"

using namespace std::chrono_literals;
using namespace testing_support;

// The AI plays seat 2 of a four-player map with bombs, overrides and special squares, with
// little time per move (the server sets no limit, so that a busy machine cannot fail the
// test); it logs a search line per move and ends with the server. The game's record can then
// be analysed at any move.
TEST(ReversiAi, PlaysAWholeGameAndAnalysesItsRecord) {
    const std::string record =
        (std::filesystem::temp_directory_path() / ("reversi-ai-record-" + std::to_string(getpid())))
            .string();
    GameServer server({"--map", mapPath("transitions4p.map"), "--record", record});
    ASSERT_NE(server.port, 0);
    const std::vector<std::string> seat{
        "--server", "127.0.0.1", "--port", std::to_string(server.port), "--seed", "3"};
    ScriptedProcess bot1(programPath("reversi-bot"), seat);
    ASSERT_TRUE(server.waitForLine("joined as player 1", 10s));
    auto aiArgs = seat;
    aiArgs.insert(aiArgs.end(), {"--movetime", "100"});
    ScriptedProcess ai(programPath("reversi-ai"), aiArgs);
    ASSERT_TRUE(server.waitForLine("joined as player 2", 10s));
    ScriptedProcess bot3(programPath("reversi-bot"), seat);
    ScriptedProcess bot4(programPath("reversi-bot"), seat);
    const auto result = ai.wait(300s);
    EXPECT_EQ(result.exitStatus, 0) << result.out;
    // The tree search plays four players by default; its line counts iterations per second.
    EXPECT_NE(result.out.find(" ips "), std::string::npos) << result.out;
    EXPECT_FALSE(hasLogLine(result.out, "WARN", "No move searched, sending the first legal move"));
    const auto serverResult = server.wait(60s);
    EXPECT_EQ(serverResult.exitStatus, 0);
    EXPECT_FALSE(hasLogLine(serverResult.out, "INFO", "Disqualifying player 2"))
        << serverResult.out;

    ScriptedProcess analysis(programPath("reversi-ai"),
                             {"--analyse", mapPath("transitions4p.map"), "--record", record,
                              "--moves", "30", "--movetime", "100"});
    const auto analysed = analysis.wait(60s);
    std::filesystem::remove(record);
    EXPECT_EQ(analysed.exitStatus, 0) << analysed.out << analysed.err;
    EXPECT_NE(analysed.out.find("Best move P"), std::string::npos) << analysed.out;
}

// The analysis prints each iteration and the best move, for a map's start and for a position
// of a record; bad options end the program with status 1.
TEST(ReversiAi, AnalysesOfflineAndChecksItsOptions) {
    ScriptedProcess start(programPath("reversi-ai"),
                          {"--analyse", mapPath("classic8x8.map"), "--movetime", "200"});
    auto result = start.wait(60s);
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_NE(result.out.find("best "), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("Best move "), std::string::npos) << result.out;

    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--search", "maxn"},
          {"--hash", "0"},
          {"--movetime", "0"},
          {"--record", "r.txt"},
          {"--analyse", mapPath("classic8x8.map"), "--moves", "3"},
          {"--analyse", mapPath("classic8x8.map"), "--record", "/nonexistent/record"}}) {
        ScriptedProcess bad(programPath("reversi-ai"), args);
        result = bad.wait(30s);
        EXPECT_EQ(result.exitStatus, 1) << args.front() << result.out << result.err;
    }
}

// With --random-moves the first moves of each game are drawn at random, exactly as many as
// asked, and each is legal: both seats end the game, neither disqualified.
TEST(ReversiAi, RandomMovesStartEachGame) {
    TempFolder dir;
    const std::string ai =
        programPath("reversi-ai") + " -s {host} -p {port} --seed {seed} --hash 1 --random-moves 3";
    const auto run = runProcess(programPath("reversi-arena"),
                                {"--player", "a=" + ai, "--player", "b=" + ai, "--map",
                                 mapPath("classic8x8.map"), "--games", "2", "--depthlimit", "2",
                                 "--seed", "5", "--out", dir.file("out")},
                                120s);
    ASSERT_EQ(run.exitStatus, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("Games: 2 (2 finished, 0 stopped as hung, 0 failed)"), std::string::npos)
        << run.out;
    for (const std::string game : {"0001", "0002"}) {
        const std::string games = dir.file("out/games/" + game);
        EXPECT_EQ(countOf(readFile(games + ".result"), " -\n"), 2u);
        for (const std::string seat : {".seat1.log", ".seat2.log"}) {
            EXPECT_EQ(countOf(readFile(games + seat), "Move drawn at random"), 3u) << game << seat;
        }
    }
}
