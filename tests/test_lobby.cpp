// reversi-lobby with real bots over 127.0.0.1 and a real SQLite file: the seat choice, games of
// several groups on a pool of a 2- and a 4-player map stored as their records replay, hostile
// connections that stop no game, and a lobby killed during a game and started again.
#include <chrono>
#include <csignal>
#include <filesystem>
#include <memory>
#include <mutex>
#include <thread>

#include <gtest/gtest.h>

#include "lobby/LobbyStandings.hpp"
#include "lobby/LobbyStore.hpp"
#include "lobby/Pairing.hpp"
#include "lobby/Sqlite.hpp"
#include "tests/support/ServerHarness.hpp"
#include "tests/support/TempFolder.hpp"
#include "tests/support/TestPaths.hpp"

using namespace std::chrono_literals;
using namespace testing_support;

namespace {

constexpr auto RunLimit = 240s;

// reversi-lobby on a free port; `port` from its "Listening on port N" line.
struct LobbyProcess : ScriptedProcess {
    explicit LobbyProcess(std::vector<std::string> args)
        : ScriptedProcess(programPath("reversi-lobby"),
                          (args.insert(args.end(), {"--port", "0"}), args)) {
        if (const auto text = waitForLine("Listening on port ", 10s)) {
            port = static_cast<std::uint16_t>(std::stoi(*text));
        }
    }
    std::uint16_t port = 0;
};

std::unique_ptr<ScriptedProcess> startBot(std::uint16_t port, unsigned group, unsigned seed) {
    return std::make_unique<ScriptedProcess>(
        programPath("reversi-bot"),
        std::vector<std::string>{"-p", std::to_string(port), "-g", std::to_string(group), "--seed",
                                 std::to_string(seed)});
}

// Bots of the given groups, each started again as soon as its game ended; the destructor
// kills the bots still running.
class BotLoops {
public:
    BotLoops(std::uint16_t port, const std::vector<unsigned>& groups) : m_bots(groups.size()) {
        for (std::size_t i = 0; i < groups.size(); ++i) {
            m_threads.emplace_back([this, port, group = groups[i], &slot = m_bots[i]] {
                for (unsigned seed = 1;; ++seed) {
                    std::unique_lock lock(m_mutex);
                    if (m_stop) {
                        return;
                    }
                    slot = startBot(port, group, seed);
                    lock.unlock();
                    slot->wait(RunLimit);
                }
            });
        }
    }
    ~BotLoops() {
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
            for (const auto& bot : m_bots) {
                if (bot != nullptr) {
                    bot->signal(SIGKILL);
                }
            }
        }
        for (auto& thread : m_threads) {
            thread.join();
        }
    }

private:
    std::mutex m_mutex;
    bool m_stop = false;
    std::vector<std::unique_ptr<ScriptedProcess>> m_bots;
    std::vector<std::thread> m_threads;
};

std::vector<StoredGame> storedGames(const std::string& db, const std::string& state) {
    LobbyStore store;
    EXPECT_TRUE(store.open(db));
    return store.games(state, 0);
}

} // namespace

TEST(LobbyPairing, LongestWaitingFirstAndGroupsApartWhileOthersWait) {
    EXPECT_EQ(chooseSeats({1, 1, 2, 3}, 2), (std::vector<std::size_t>{0, 2}));
    EXPECT_EQ(chooseSeats({1, 1, 1, 2}, 4), (std::vector<std::size_t>{0, 1, 2, 3}));
    EXPECT_EQ(chooseSeats({5, 5}, 2), (std::vector<std::size_t>{0, 1}));
    EXPECT_EQ(chooseSeats({4, 4, 2, 2, 3}, 3), (std::vector<std::size_t>{0, 2, 4}));

    MapRotation rotation({2, 4, 8});
    EXPECT_FALSE(rotation.next({1}));
    const auto first = rotation.next({1, 2, 3, 4});
    ASSERT_TRUE(first);
    EXPECT_EQ(first->map, 0u);
    const auto second = rotation.next({1, 2, 3, 4});
    ASSERT_TRUE(second);
    EXPECT_EQ(second->map, 1u);
    EXPECT_EQ(second->chosen.size(), 4u);
    // The 8-player map is passed over while the queue cannot fill it.
    const auto third = rotation.next({1, 2, 3});
    ASSERT_TRUE(third);
    EXPECT_EQ(third->map, 0u);
}

// Games of five groups on a 2- and a 4-player map (which of them is played depends on how many
// clients wait at once), with a silent and a garbage connection open
// all along: every game finishes, its stored seats are those of its record, which replays to
// them, and the standings count every game.
TEST(LobbyWithBots, GamesOfSeveralGroupsAreStoredAsTheirRecordsReplay) {
    TempFolder folder;
    const std::string db = folder.file("lobby.db");
    const std::string records = folder.file("records");
    LobbyProcess lobby({"-m", mapPath("example2p.map"), "-m", mapPath("transitions4p.map"), "--db",
                        db, "--games", "6", "--records", records});
    ASSERT_NE(lobby.port, 0);
    TestPlayer silent;
    ASSERT_TRUE(silent.connect(lobby.port));
    TcpClient garbage;
    ASSERT_TRUE(garbage.connect_to("127.0.0.1", lobby.port));
    garbage.send("\xff\xff\xff\xff garbage", 13);
    ProcessResult result;
    {
        BotLoops bots(lobby.port, {1, 2, 3, 4, 5});
        result = lobby.wait(RunLimit);
    }
    ASSERT_EQ(result.exitStatus, 0) << result.out;
    EXPECT_TRUE(hasLogLine(result.out, "WARN", "Dropping a connection that sent no group id"));
    EXPECT_EQ(countOf(result.out, " started on "), 6u) << result.out;
    EXPECT_EQ(countOf(result.out, " finished on "), 6u);

    const auto games = storedGames(db, "finished");
    ASSERT_EQ(games.size(), 6u);
    unsigned seats = 0;
    for (const StoredGame& game : games) {
        EXPECT_EQ(game.seats.size(), game.map == "example2p.map" ? 2u : 4u) << game.map;
        seats += static_cast<unsigned>(game.seats.size());
        const std::string file = records + "/game-" + std::to_string(game.id) + ".rec";
        LobbyStore store;
        ASSERT_TRUE(store.open(db));
        EXPECT_EQ(store.record(game.id).value_or(""), readFile(file));
        const ReplayedRecord replay(file);
        ASSERT_EQ(replay.error, "");
        EXPECT_TRUE(replay.final);
        ASSERT_EQ(replay.scores.size(), game.seats.size());
        for (std::size_t s = 0; s < game.seats.size(); ++s) {
            EXPECT_EQ(replay.scores[s], game.seats[s].score) << "game " << game.id;
        }
        EXPECT_EQ(countOf(result.out, matchpointLine(resultOf(game))), 1u);
    }
    LobbyStore store;
    ASSERT_TRUE(store.open(db));
    unsigned counted = 0;
    for (const PlayerStanding& player : standingsOf(store).players()) {
        counted += player.games;
    }
    EXPECT_EQ(counted, seats);
}

// A lobby killed while a 4-player game waits for a player that never answers keeps its finished
// games, marks the running one aborted when started again and numbers on after it.
TEST(LobbyWithBots, KilledLobbyKeepsFinishedGamesAndAbortsTheRunningOne) {
    TempFolder folder;
    const std::string db = folder.file("lobby.db");
    {
        LobbyProcess lobby({"-m", mapPath("transitions4p.map"), "--db", db});
        ASSERT_NE(lobby.port, 0);
        for (unsigned seed = 1; seed <= 2; ++seed) {
            std::vector<std::unique_ptr<ScriptedProcess>> bots;
            for (unsigned group = 1; group <= 4; ++group) {
                bots.push_back(startBot(lobby.port, group, seed));
            }
            for (auto& bot : bots) {
                EXPECT_EQ(bot->wait(RunLimit).exitStatus, 0);
            }
        }
        std::vector<std::unique_ptr<ScriptedProcess>> bots;
        for (unsigned group = 1; group <= 3; ++group) {
            bots.push_back(startBot(lobby.port, group, 3));
        }
        TestPlayer stalled;
        ASSERT_TRUE(stalled.join(lobby.port));
        ASSERT_TRUE(lobby.waitForLine("Game 3 started", 10s));
        lobby.signal(SIGKILL);
        EXPECT_EQ(lobby.wait(10s).signal, SIGKILL);
    }
    LobbyProcess lobby({"-m", mapPath("transitions4p.map"), "--db", db, "--games", "1"});
    ASSERT_NE(lobby.port, 0);
    ProcessResult result;
    {
        BotLoops bots(lobby.port, {3, 4, 5, 6});
        result = lobby.wait(RunLimit);
    }
    EXPECT_TRUE(hasLogLine(result.out, "WARN", "Marked 1 game(s) left running as aborted"));
    EXPECT_EQ(countOf(result.out, "Game 4 finished"), 1u) << result.out;
    const auto all = storedGames(db, "");
    ASSERT_EQ(all.size(), 4u);
    const std::vector<std::string> states{"finished", "finished", "aborted", "finished"};
    for (std::size_t i = 0; i < all.size(); ++i) {
        EXPECT_EQ(all[i].id, static_cast<std::int64_t>(i + 1));
        EXPECT_EQ(all[i].state, states[i]);
    }
    LobbyStore store;
    ASSERT_TRUE(store.open(db));
    EXPECT_FALSE(store.record(3));
    EXPECT_EQ(standingsOf(store).finished(), 3u);
}

// With one connection allowed, a second is closed at once and logged; SIGTERM then lets the
// waiting client go and ends the lobby normally with its standings.
TEST(LobbyLimits, ConnectionsBeyondTheLimitAreRefusedAndSigtermEndsTheLobby) {
    TempFolder folder;
    LobbyProcess lobby(
        {"-m", mapPath("example2p.map"), "--db", folder.file("lobby.db"), "--max-clients", "1"});
    ASSERT_NE(lobby.port, 0);
    TestPlayer waiting;
    ASSERT_TRUE(waiting.connect(lobby.port));
    ASSERT_TRUE(waiting.proto().send_client_groupid(3));
    TestPlayer refused;
    ASSERT_TRUE(refused.connect(lobby.port));
    EXPECT_EQ(refused.next(), MsgType::FAIL);
    ASSERT_TRUE(lobby.waitForLine("Refusing connections beyond 1", 10s));
    lobby.signal(SIGTERM);
    const auto result = lobby.wait(RunLimit);
    EXPECT_EQ(result.exitStatus, 0) << result.out;
    EXPECT_TRUE(hasLogLine(result.out, "INFO", "Standings after 0 games this run:"));
    EXPECT_EQ(waiting.next(), MsgType::FAIL);
}

// A database of another schema version is refused rather than misread.
TEST(LobbyStoreFile, RefusesAnotherSchemaVersion) {
    TempFolder folder;
    const std::string db = folder.file("lobby.db");
    {
        LobbyStore store;
        ASSERT_TRUE(store.open(db));
    }
    {
        SqliteDb raw;
        ASSERT_TRUE(raw.open(db));
        ASSERT_TRUE(raw.exec("PRAGMA user_version = 2"));
    }
    LobbyStore store;
    EXPECT_FALSE(store.open(db));
}
