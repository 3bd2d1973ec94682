// reversi-tune spsa: the update climbs a noisy synthetic objective to its optimum and a resumed
// run goes on exactly as an uninterrupted one; the seat plan swaps and rotates the two sides; a
// real run of quick games on 127.0.0.1 writes a params file reversi-ai reads and the history,
// and resumes; the same run as jobs ends the same; mistakes on the command line are refused.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <random>
#include <set>
#include <sstream>

#include <gtest/gtest.h>

#include "search/SearchParams.hpp"
#include "tests/support/ScriptedProcess.hpp"
#include "tests/support/TempFolder.hpp"
#include "tests/support/TestPaths.hpp"
#include "tools/tune/Spsa.hpp"
#include "tools/tune/SpsaGames.hpp"
#include "tools/tune/SpsaRun.hpp"

using namespace std::chrono_literals;
using namespace testing_support;

namespace {

// Games whose outcome depends on the distance of two values from an optimum: each of `games`
// games is won by plus with the logistic chance of the difference of the objective. The
// randomness depends only on the iteration, so that a resumed run sees the same games.
PlayIteration syntheticGames(unsigned games) {
    return [games](unsigned k, const SpsaPair& pair) {
        const auto objective = [](const SearchParams& p) {
            const double square = (p.orderSquareScale - 200) / 100.0;
            const double margin = (p.timeMarginFraction - 0.5) / 0.25;
            return -(square * square + margin * margin);
        };
        const double chance = 1 / (1 + std::exp(objective(pair.minus) - objective(pair.plus)));
        std::mt19937 random(k);
        PairCounts counts;
        for (unsigned g = 0; g < games; ++g) {
            (std::bernoulli_distribution(chance)(random) ? counts.wins : counts.losses) += 1;
        }
        return std::optional<PairCounts>(counts);
    };
}

std::vector<SpsaParam> tunedForSynthetic(const SpsaSchedule& schedule) {
    std::vector<SpsaParam> tuned(2);
    std::string error;
    EXPECT_TRUE(parseTuneOption("orderSquareScale:12", {}, schedule, tuned[0], error)) << error;
    EXPECT_TRUE(parseTuneOption("timeMarginFraction:0.04", {}, schedule, tuned[1], error)) << error;
    return tuned;
}

} // namespace

TEST(Spsa, ClimbsANoisyObjectiveAndResumesWhereItStopped) {
    SpsaSchedule schedule;
    schedule.iterations = 400;
    schedule.stability = 40;
    Spsa whole({}, tunedForSynthetic(schedule), schedule, 3);
    while (!whole.finished()) {
        ASSERT_TRUE(whole.step(syntheticGames(8)));
    }
    EXPECT_NEAR(whole.params()[0].theta, 200, 25);
    EXPECT_NEAR(whole.params()[1].theta, 0.5, 0.08);
    EXPECT_EQ(whole.current().orderSquareScale, std::lround(whole.params()[0].theta));
    EXPECT_EQ(whole.total().total(), 8.0 * 400);

    // Half the run, its state through the params file's text, then the other half.
    Spsa first({}, tunedForSynthetic(schedule), schedule, 3);
    for (unsigned k = 0; k < 200; ++k) {
        ASSERT_TRUE(first.step(syntheticGames(8)));
    }
    SpsaState state{first.iteration(), 3, first.total(), {}};
    for (const SpsaParam& param : first.params()) {
        state.theta.emplace_back(param.info->name, param.theta);
    }
    SpsaState read;
    ASSERT_TRUE(parseSpsaState(formatSpsaParams(first.current(), first.params(), state), read));
    auto tuned = tunedForSynthetic(schedule);
    for (std::size_t i = 0; i < tuned.size(); ++i) {
        tuned[i].theta = read.theta[i].second;
    }
    Spsa second({}, tuned, schedule, read.seed, read.iteration, read.total);
    while (!second.finished()) {
        ASSERT_TRUE(second.step(syntheticGames(8)));
    }
    EXPECT_NEAR(second.params()[0].theta, whole.params()[0].theta, 1e-4);
    EXPECT_NEAR(second.params()[1].theta, whole.params()[1].theta, 1e-6);
    EXPECT_EQ(second.total().wins, whole.total().wins);

    // Values stay in range however hard the games push, and an interruption changes nothing.
    Spsa pushed({}, tunedForSynthetic(schedule), schedule, 3);
    for (unsigned k = 0; k < 50; ++k) {
        pushed.step([](unsigned, const SpsaPair&) { return PairCounts{0, 0, 10}; });
    }
    const SpsaParam before = pushed.params()[0];
    EXPECT_FALSE(pushed.step([](unsigned, const SpsaPair&) { return std::nullopt; }));
    EXPECT_EQ(pushed.iteration(), 50u);
    EXPECT_EQ(pushed.params()[0].theta, before.theta);
    EXPECT_GE(before.theta, 0);
    EXPECT_LE(before.theta, 1024);
}

TEST(Spsa, GamePairsSwapSeatsAndRotateOverTheMap) {
    const std::vector<TuneMap> maps{{"a.map", 2, 1s}, {"b.map", 4, 1s}};
    std::set<std::pair<std::size_t, std::size_t>> fourSeatPlaces;
    for (unsigned k = 0; k < 6; ++k) {
        const SeatPlan plan = planIteration(maps, k, 2, 9);
        ASSERT_EQ(plan.size(), 4u);
        for (std::size_t g = 0; g < plan.size(); g += 2) {
            const auto& one = plan[g].seats;
            const auto& other = plan[g + 1].seats;
            EXPECT_EQ(plan[g].map, g == 0 ? "a.map" : "b.map");
            const auto plus = std::find(one.begin(), one.end(), PlusEntry) - one.begin();
            const auto minus = std::find(one.begin(), one.end(), MinusEntry) - one.begin();
            EXPECT_EQ(other[plus], MinusEntry);
            EXPECT_EQ(other[minus], PlusEntry);
            EXPECT_EQ(std::count(one.begin(), one.end(), CurrentEntry), one.size() - 2);
            if (one.size() == 4) {
                fourSeatPlaces.emplace(plus, minus);
            }
        }
    }
    // Six pairs on the four-seat map: plus in every seat, minus at distances 1 and 2.
    EXPECT_EQ(fourSeatPlaces.size(), 6u);
}

// Best-reply search on the 3-player map too: at a depth limit without a time limit the tree
// search thinks for its own second per move.
TEST(TuneSpsa, ARealRunWritesParamsAndHistoryAndResumes) {
    TempFolder dir;
    const std::string params = dir.file("tuned.params");
    std::vector<std::string> args{"spsa",
                                  "--tune",
                                  "orderSquareScale:16",
                                  "--tune",
                                  "ttAgeWeight",
                                  "-m",
                                  mapPath("classic8x8.map"),
                                  "--generate",
                                  "count=1:players=3:size=8x8",
                                  "-d",
                                  "1",
                                  "-g",
                                  "2",
                                  "-j",
                                  "2",
                                  "-o",
                                  params,
                                  "--work",
                                  dir.file("work"),
                                  "--ai",
                                  programPath("reversi-ai") +
                                      " -s {host} -p {port} --seed {seed} --search brs"};
    auto run = [&](unsigned iterations, std::vector<std::string> more) {
        auto all = args;
        all.insert(all.end(), {"-n", std::to_string(iterations)});
        all.insert(all.end(), more.begin(), more.end());
        return runProcess(programPath("reversi-tune"), all, 240s);
    };
    const auto first = run(2, {"--seed", "4"});
    ASSERT_EQ(first.exitStatus, 0) << first.out << first.err;
    EXPECT_NE(first.out.find("iteration 2/2"), std::string::npos) << first.out;
    const auto resumed = run(3, {"--resume"});
    ASSERT_EQ(resumed.exitStatus, 0) << resumed.out << resumed.err;

    std::istringstream history(readFile(dir.file("tuned.csv")));
    std::string line;
    std::getline(history, line);
    EXPECT_EQ(line, "iteration,orderSquareScale,ttAgeWeight,score,elo");
    for (const char* number : {"1,", "2,", "3,"}) {
        ASSERT_TRUE(std::getline(history, line));
        EXPECT_TRUE(line.starts_with(number)) << line;
        EXPECT_EQ(std::count(line.begin(), line.end(), ','), 4) << line;
    }
    EXPECT_FALSE(std::getline(history, line));

    SpsaState state;
    ASSERT_TRUE(parseSpsaState(readFile(params), state));
    EXPECT_EQ(state.iteration, 3u);
    EXPECT_EQ(state.seed, 4u);
    EXPECT_EQ(state.total.total(), 12.0);
    SearchParams read;
    std::istringstream in(readFile(params));
    std::string error;
    EXPECT_TRUE(readParams(read, in, params, error)) << error;
    EXPECT_EQ(read.orderSquareScale, std::lround(state.theta[0].second));
    const auto ai =
        runProcess(programPath("reversi-ai"), {"--params", params, "--list-params"}, 30s);
    EXPECT_EQ(ai.exitStatus, 0) << ai.err;
}

// The same run played here and as jobs (each game a shell command of the list, the step taken
// from their result files) plays the same games and ends with the same files.
TEST(TuneSpsa, JobsPlayTheGamesOfALiveRun) {
    TempFolder dir;
    auto tune = [&](const std::string& name, std::vector<std::string> more) {
        std::vector<std::string> args{"spsa",
                                      "--tune",
                                      "orderSquareScale:16",
                                      "-m",
                                      mapPath("classic8x8.map"),
                                      "-d",
                                      "1",
                                      "-g",
                                      "1",
                                      "-n",
                                      "2",
                                      "-o",
                                      dir.file(name + ".params"),
                                      "--work",
                                      dir.file(name + "-work")};
        args.insert(args.end(), more.begin(), more.end());
        return runProcess(programPath("reversi-tune"), args, 240s);
    };
    const auto live = tune("live", {"--seed", "4", "-j", "1"});
    ASSERT_EQ(live.exitStatus, 0) << live.err;

    const std::string jobs = dir.file("jobs.txt");
    const auto emitted = tune("jobs", {"--seed", "4", "--emit-jobs", jobs});
    ASSERT_EQ(emitted.exitStatus, 0) << emitted.err;
    const auto early = tune("jobs", {"--resume", "--collect"});
    EXPECT_EQ(early.exitStatus, 1);
    EXPECT_NE(early.out.find("2 of the 2 games of iteration 1 have no result"), std::string::npos)
        << early.out;
    for (int iteration = 1; iteration <= 2; ++iteration) {
        std::istringstream lines(readFile(jobs));
        int count = 0;
        for (std::string line; std::getline(lines, line); ++count) {
            const auto job = runProcess("/bin/sh", {"-c", line}, 120s);
            ASSERT_EQ(job.exitStatus, 0) << line << job.err;
        }
        EXPECT_EQ(count, 2);
        const auto step = tune("jobs", {"--resume", "--collect", "--emit-jobs", jobs});
        ASSERT_EQ(step.exitStatus, 0) << step.err;
    }
    EXPECT_EQ(readFile(jobs), "");
    EXPECT_EQ(readFile(dir.file("jobs.params")), readFile(dir.file("live.params")));
    EXPECT_EQ(readFile(dir.file("jobs.csv")), readFile(dir.file("live.csv")));
    EXPECT_EQ(tune("jobs", {"--resume", "--single-game", "1"}).exitStatus, 1);
}

TEST(TuneSpsa, MistakesAreRefused) {
    const std::string map = mapPath("classic8x8.map");
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
        {{"nosuch"}, "unknown command 'nosuch'"},
        {{"spsa", "-m", map}, "Give at least one --tune"},
        {{"spsa", "--tune", "noSuchParam", "-m", map}, "unknown parameter 'noSuchParam'"},
        {{"spsa", "--tune", "edgeValue:-3", "-m", map}, "give NAME, NAME:C or NAME:C:A"},
        {{"spsa", "--tune", "edgeValue:2:x", "-m", map}, "give NAME, NAME:C or NAME:C:A"},
        {{"spsa", "--tune", "edgeValue", "--tune", "edgeValue:2", "-m", map}, "twice"},
        {{"spsa", "--tune", "edgeValue", "--generate", "players=9"}, "--generate players=9"},
        {{"spsa", "--tune", "edgeValue", "--generate", "size=8x8:wide=1"}, "cannot read"},
        {{"spsa", "--tune", "edgeValue", "-m", map, "-d", "300"}, "one byte"},
        {{"spsa", "--tune", "edgeValue", "-m", map, "-n", "0"}, "iterations"},
        {{"spsa", "--tune", "edgeValue", "-m", map, "--resume", "--seed", "3"}, "--resume"},
        {{"spsa", "--tune", "edgeValue", "-m", map, "--collect"}, "give --resume"},
        {{"spsa", "--tune", "edgeValue", "-m", map, "--resume", "--single-game", "0"},
         "a game from 1"},
        {{"spsa", "--tune", "edgeValue", "-m", "/nonexistent.map"},
         "Cannot open map /nonexistent.map"},
    };
    for (const auto& [args, message] : cases) {
        const auto result = runProcess(programPath("reversi-tune"), args, 30s);
        EXPECT_EQ(result.exitStatus, 1) << args.front();
        EXPECT_NE((result.err + result.out).find(message), std::string::npos)
            << message << "\n"
            << result.err << result.out;
    }
}
