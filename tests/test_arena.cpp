// reversi-arena with the real server, bots and misbehaving players on 127.0.0.1: the table of a
// small tournament adds up with balanced seats, the live run, a resumed run and the job list
// run by a shell (or GNU parallel) give the same results, every kind of misbehaviour is counted
// under its cause, and Ctrl-C or SIGTERM leaves no process behind.
#include <chrono>
#include <csignal>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>

#include <gtest/gtest.h>

#include "tests/support/ScriptedProcess.hpp"
#include "tests/support/TempFolder.hpp"
#include "tests/support/TestPaths.hpp"

using namespace std::chrono_literals;
using namespace testing_support;
namespace fs = std::filesystem;

namespace {

constexpr auto RunLimit = 240s;

std::string bot() {
    return "bot=" + programPath("reversi-bot") + " -s {host} -p {port} --seed {seed}";
}

// Players written in the shell: they join with group id 7 over bash's /dev/tcp and then send
// an illegal move at once (the server reads it when it asks), or never answer; "quitter"
// ends without joining.
const std::string Join = "exec 3<>/dev/tcp/{host}/{port}; printf '\\001\\000\\000\\000\\001\\007'";
const std::string Illegal =
    "illegal=bash -c \"" + Join +
    " >&3; printf '\\005\\000\\000\\000\\005\\352\\140\\000\\000\\000' >&3; cat <&3 >/dev/null\"";
const std::string Silent = "silent=bash -c \"" + Join + " >&3; cat <&3 >/dev/null\"";
const std::string Quitter = "quitter=true";

std::vector<std::string> tournament(const std::string& out, std::vector<std::string> more) {
    std::vector<std::string> args{"--out", out, "--seed", "11", "--concurrency", "2"};
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

// results.csv by player name: the fields after the name.
std::map<std::string, std::vector<std::string>> readCsv(const std::string& path) {
    std::map<std::string, std::vector<std::string>> rows;
    std::istringstream lines(readFile(path));
    std::string line;
    std::getline(lines, line);
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string name, field;
        std::getline(fields, name, ',');
        while (std::getline(fields, field, ',')) {
            rows[name].push_back(field);
        }
    }
    return rows;
}

// The table part of the standard output (from "Games:" on).
std::string tableOf(const std::string& out) {
    const auto start = out.find("Games: ");
    return start == std::string::npos ? "" : out.substr(start);
}

// Processes still running (zombies do not count) in one of the process groups, or whose
// command line mentions `text`.
std::size_t survivors(const std::set<pid_t>& groups, const std::string& text) {
    std::size_t count = 0;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator("/proc", error)) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) {
            continue; // not a process
        }
        std::string stat = readFile((entry.path() / "stat").string());
        std::istringstream fields(stat.substr(std::min(stat.size(), stat.rfind(')') + 1)));
        char state = 0;
        pid_t parent = 0, group = 0;
        if (!(fields >> state >> parent >> group) || state == 'Z') {
            continue;
        }
        const std::string command = readFile((entry.path() / "cmdline").string());
        if (groups.count(group) != 0 || command.find(text) != std::string::npos) {
            ++count;
        }
    }
    return count;
}

} // namespace

// Bots on the classic map and a four-player map; the job list run by a shell loop (GNU parallel
// when installed) and collected gives the same table; a resumed run plays only what is missing.
TEST(Arena, TournamentAddsUpAndEveryWayOfRunningItAgrees) {
    TempFolder dir;
    const std::vector<std::string> setup{"--player", bot(),
                                         "--player", "other" + bot().substr(3),
                                         "--map",    mapPath("classic8x8.map"),
                                         "--map",    mapPath("transitions4p.map"),
                                         "--games",  "2"};
    const auto live =
        runProcess(programPath("reversi-arena"), tournament(dir.file("live"), setup), RunLimit);
    ASSERT_EQ(live.exitStatus, 0) << live.out << live.err;
    EXPECT_EQ(countOf(live.out, "\ngame "), 4u) << live.out;
    EXPECT_NE(live.out.find("Games: 4 (4 finished, 0 stopped as hung, 0 failed)"),
              std::string::npos);
    const auto rows = readCsv(dir.file("live/results.csv"));
    ASSERT_EQ(rows.size(), 2u);
    double wins = 0;
    for (const auto& [name, fields] : rows) {
        SCOPED_TRACE(name);
        ASSERT_EQ(fields.size(), 15u);
        // 2 games on the small map, 2 with two seats each on the large one.
        EXPECT_EQ(fields[0], "6");
        EXPECT_EQ(fields.back(), "2 2 1 1");
        wins += std::stod(fields[1]);
        EXPECT_EQ(fields[4] + fields[5] + fields[6] + fields[7], "0000");
    }
    EXPECT_DOUBLE_EQ(wins, 4);
    for (int game = 1; game <= 4; ++game) {
        EXPECT_TRUE(fs::exists(dir.file("live/games/000" + std::to_string(game) + ".record")));
    }
    const std::string json = readFile(dir.file("live/results.json"));
    EXPECT_NE(json.find("\"finished\": 4"), std::string::npos) << json;

    // Resume: the files of two games are gone, a changed one stays as it is.
    for (const auto& entry : fs::directory_iterator(dir.path() / "live/games")) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("0002.", 0) == 0 || name.rfind("0003.", 0) == 0) {
            fs::remove(entry.path());
        }
    }
    const std::string kept = dir.file("live/games/0001.result");
    std::string changed = readFile(kept);
    changed.replace(changed.find("duration_ms "), 12, "duration_ms 9");
    writeFile(kept, changed);
    const auto resumed =
        runProcess(programPath("reversi-arena"), tournament(dir.file("live"), setup), RunLimit);
    ASSERT_EQ(resumed.exitStatus, 0) << resumed.out << resumed.err;
    EXPECT_TRUE(
        hasLogLine(resumed.out, "INFO", "Playing 2 of 4 games (seed 11) into " + dir.file("live")));
    EXPECT_EQ(countOf(resumed.out, "\ngame "), 2u);
    EXPECT_EQ(readFile(kept), changed);
    EXPECT_EQ(tableOf(resumed.out), tableOf(live.out));

    // The same tournament as jobs, run by the shell, then collected.
    auto emitArgs = tournament(dir.file("jobs"), setup);
    emitArgs.insert(emitArgs.end(), {"--emit-jobs", dir.file("jobs.txt")});
    fs::remove_all(dir.file("jobs"));
    ASSERT_EQ(runProcess(programPath("reversi-arena"), emitArgs, RunLimit).exitStatus, 0);
    EXPECT_EQ(countOf(readFile(dir.file("jobs.txt")), "--single-game "), 4u);
    const std::string runner = "if command -v parallel >/dev/null; then parallel -j2 < \"$1\"; "
                               "else while IFS= read -r job; do sh -c \"$job\" || exit 1; done "
                               "< \"$1\"; fi";
    const auto jobs =
        runProcess("/bin/bash", {"-c", runner, "jobs", dir.file("jobs.txt")}, RunLimit);
    ASSERT_EQ(jobs.exitStatus, 0) << jobs.out << jobs.err;
    const auto collected =
        runProcess(programPath("reversi-arena"), {"--collect", dir.file("jobs")}, RunLimit);
    ASSERT_EQ(collected.exitStatus, 0) << collected.out << collected.err;
    EXPECT_EQ(tableOf(collected.out), tableOf(live.out));
    EXPECT_EQ(readFile(dir.file("jobs/results.csv")), readFile(dir.file("live/results.csv")));
}

TEST(Arena, MisbehavingPlayersAreCountedUnderTheirCause) {
    TempFolder dir;
    const auto run = runProcess(
        programPath("reversi-arena"),
        tournament(dir.file("out"),
                   {"--player", bot(), "--player", Illegal, "--player", Silent, "--player", Quitter,
                    "--map", mapPath("transitions4p.map"), "--games", "4", "--timelimit", "300"}),
        RunLimit);
    ASSERT_EQ(run.exitStatus, 0) << run.out << run.err;
    const auto rows = readCsv(dir.file("out/results.csv"));
    // games, then dq_time, dq_illegal, dq_disconnect, dq_other at fields 4 to 7.
    const std::map<std::string, std::string> expected{
        {"bot", "0000"}, {"illegal", "0400"}, {"silent", "4000"}, {"quitter", "0040"}};
    for (const auto& [name, causes] : expected) {
        SCOPED_TRACE(name);
        ASSERT_EQ(rows.count(name), 1u) << run.out;
        const auto& fields = rows.at(name);
        EXPECT_EQ(fields[0], "4");
        EXPECT_EQ(fields[4] + fields[5] + fields[6] + fields[7], causes);
    }
    EXPECT_EQ(rows.at("bot")[1], "4.00");
}

// Players that join and never move, without a time limit: the games hang until a signal comes,
// to the whole job as Ctrl-C sends it or to the arena alone. Every player records its process
// group; no process of those groups and no server of the run may survive the arena.
TEST(Arena, SignalsLeaveNoProcessBehind) {
    for (const auto& [signal, wholeGroup] : {std::pair{SIGINT, true}, std::pair{SIGTERM, false}}) {
        SCOPED_TRACE(signal);
        TempFolder dir;
        const std::string pids = dir.file("pids");
        const std::string silent = "echo $$ >> " + pids + "; " + Silent.substr(7);
        ProcessOptions options;
        options.ownProcessGroup = true;
        ScriptedProcess arena(
            programPath("reversi-arena"),
            tournament(dir.file("out"),
                       {"--player", "a=" + silent, "--player", "b=" + silent, "--map",
                        mapPath("classic8x8.map"), "--games", "4", "--timelimit", "0"}),
            options);
        std::set<pid_t> groups;
        for (auto waited = 0ms; groups.size() < 4 && waited < 30s; waited += 20ms) {
            std::this_thread::sleep_for(20ms);
            std::istringstream lines(readFile(pids));
            for (pid_t pid; lines >> pid;) {
                groups.insert(pid);
            }
        }
        ASSERT_EQ(groups.size(), 4u);
        arena.signal(signal, wholeGroup);
        const auto result = arena.wait(30s);
        EXPECT_FALSE(result.timedOut);
        EXPECT_EQ(result.exitStatus, 1) << result.out << result.err;
        EXPECT_FALSE(result.leftProcessesBehind);
        EXPECT_EQ(survivors(groups, dir.path().string()), 0u);
        // The interrupted games left no files, so a rerun plays them.
        EXPECT_FALSE(fs::exists(dir.file("out/games/0001.record")));
        EXPECT_NE(result.out.find("run again with the same --out"), std::string::npos);
    }
}

// A command the shell cannot find or run, or one that fails before it ever joins, stops the
// whole run with one message that names the player and quotes what it said; no table, and no
// files of the aborted games, so that a corrected run plays them.
TEST(Arena, APlayerThatCannotStartStopsTheRun) {
    const std::vector<std::pair<std::string, std::string>> cases{
        {"bogus=no-such-player-program -p {port}",
         "The player bogus cannot start (exit status 127): "},
        {"unrunnable=/etc/passwd", "The player unrunnable cannot start (exit status 126): "},
        {"broken=echo giving up >&2; exit 3",
         "The player broken cannot start (exit status 3): giving up"},
    };
    for (const auto& [player, message] : cases) {
        SCOPED_TRACE(player);
        TempFolder dir;
        const auto run =
            runProcess(programPath("reversi-arena"),
                       tournament(dir.file("out"), {"--player", bot(), "--player", player, "--map",
                                                    mapPath("classic8x8.map"), "--games", "2"}),
                       RunLimit);
        EXPECT_EQ(run.exitStatus, 1) << run.out << run.err;
        EXPECT_EQ(countOf(run.out, "cannot start"), 1u) << run.out;
        const auto line = run.out.find("[FATAL]");
        ASSERT_NE(line, std::string::npos) << run.out;
        const std::string said = run.out.substr(line, run.out.find('\n', line) - line);
        EXPECT_NE(said.find(message), std::string::npos) << said;
        EXPECT_EQ(run.out.find("Games: "), std::string::npos) << run.out;
        EXPECT_FALSE(fs::exists(dir.file("out/games/0001.result")));
        EXPECT_FALSE(fs::exists(dir.file("out/games/0002.result")));
    }
}

// Every mistake on the command line gets its own line before the arena gives up.
TEST(Arena, EveryOptionMistakeIsReported) {
    const auto run =
        runProcess(programPath("reversi-arena"),
                   {"--player", "bad name=x", "--player", "a=x", "--player", "a=y", "--sprt", "5,1",
                    "--depthlimit", "300", "--single-game", "0", "--collect", "somewhere"},
                   RunLimit);
    EXPECT_EQ(run.exitStatus, 1);
    for (const char* line :
         {"Give at most one of --emit-jobs, --single-game and --collect\n",
          "Games are numbered from 1\n",
          "Invalid --sprt 5,1: give elo0,elo1[,alpha,beta] with elo0 < elo1 and error rates in "
          "(0, 0.5]\n",
          "Invalid --player bad name=x: give name=command with a name of letters, digits, _ - .\n",
          "The player a is given with two different commands\n",
          "The depth limit travels as one byte: give 0 to 255\n"}) {
        EXPECT_NE(run.err.find(line), std::string::npos) << line << run.err;
    }
}
