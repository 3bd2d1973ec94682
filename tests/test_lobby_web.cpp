// reversi-lobby's web side with the real binary, real bots and real HTTP on 127.0.0.1: the JSON
// interface against the database's games and the --records files, the pages against
// `reversi-map replay`, the answers to bad requests, and in headless Chromium the standings and
// a running game's page that shows each move as the referee applies it.
#include <chrono>
#include <csignal>
#include <memory>
#include <random>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "bot/BotGame.hpp"
#include "common/GameRecord.hpp"
#include "tests/support/GameSupport.hpp"
#include "tests/support/HeadlessBrowser.hpp"
#include "tests/support/HttpClient.hpp"
#include "tests/support/ServerHarness.hpp"
#include "tests/support/TempFolder.hpp"
#include "tests/support/TestPaths.hpp"

using namespace std::chrono_literals;
using namespace testing_support;
using Json = nlohmann::json;

namespace {

constexpr auto RunLimit = 240s;

// reversi-lobby with its web side, both on free ports.
struct WebLobby : ScriptedProcess {
    explicit WebLobby(std::vector<std::string> args)
        : ScriptedProcess(programPath("reversi-lobby"),
                          (args.insert(args.end(), {"--port", "0", "--http", "0"}), args)) {
        if (const auto text = waitForLine("HTTP on port ", 10s)) {
            http = static_cast<std::uint16_t>(std::stoi(*text));
        }
        if (const auto text = waitForLine("Listening on port ", 10s)) {
            port = static_cast<std::uint16_t>(std::stoi(*text));
        }
    }
    std::uint16_t port = 0;
    std::uint16_t http = 0;
};

Json getJson(std::uint16_t port, const std::string& path) {
    const HttpAnswer answer = httpGet(port, path);
    EXPECT_EQ(answer.status, 200) << path << ": " << answer.body;
    return Json::parse(answer.body, nullptr, false);
}

// Polls `done` every 20 ms until it holds or `limit` has passed.
template <typename Done>
bool waitUntil(Done done, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

std::string replayOf(const TempFolder& folder, const std::string& record) {
    const std::string page = folder.file("replay.html");
    const auto made = runProcess(programPath("reversi-map"), {"replay", record, "-o", page}, 60s);
    EXPECT_EQ(made.exitStatus, 0) << made.err;
    return readFile(page);
}

// Bots of groups 1 to 4, started together in two rounds, so that games of both maps finish.
void playRounds(std::uint16_t port) {
    for (unsigned round = 1; round <= 2; ++round) {
        std::vector<std::unique_ptr<ScriptedProcess>> bots;
        for (unsigned group = 1; group <= 4; ++group) {
            bots.push_back(std::make_unique<ScriptedProcess>(
                programPath("reversi-bot"),
                std::vector<std::string>{"-p", std::to_string(port), "-g", std::to_string(group),
                                         "--seed", std::to_string(round * 10 + group)}));
        }
        for (auto& bot : bots) {
            EXPECT_EQ(bot->wait(RunLimit).exitStatus, 0);
        }
    }
}

// The test's own seat in a game against a bot: it answers a move request only when told to,
// with a greedy move of its local copy of the game.
class SlowSeat : public TestPlayer {
public:
    // Reads up to the next move request; false when the game ended first.
    bool awaitTurn() {
        for (MsgType type = next(); type != MsgType::FAIL && type != MsgType::FIN; type = next()) {
            if (type == MsgType::MOVEREQUEST) {
                return true;
            }
            if (type == MsgType::MOVEANNOUNCE) {
                payload_moveannounce move{};
                proto().get_moveannounce(move);
                m_game->makeMove(
                    Move(move.x, move.y, move.choice, move.player, m_game->is_terminal()));
                ++events;
            } else if (type == MsgType::DISQUALIFICATION) {
                m_game->disqualify(disqualified());
                ++events;
            }
        }
        return false;
    }
    bool start(std::uint16_t port) {
        if (!join(port)) {
            return false;
        }
        m_map = mapFromText(mapText);
        m_game = std::make_unique<BotGame>(*m_map);
        return true;
    }
    bool move() {
        long score = 0;
        std::size_t ties = 0;
        const Move chosen = m_game->chooseGreedy(m_random, score, ties);
        return proto().send_move(chosen.x, chosen.y, chosen.choice);
    }

    // Events announced so far.
    std::size_t events = 0;

private:
    std::unique_ptr<Map> m_map;
    std::unique_ptr<BotGame> m_game;
    std::mt19937 m_random{3};
};

// A raw connection that has asked for a game's event stream and read the answer's head; null
// when the answer was not 200 within 10 s.
std::unique_ptr<TcpClient> openStream(std::uint16_t port, std::int64_t game) {
    auto client = std::make_unique<TcpClient>();
    const std::string ask =
        "GET /games/" + std::to_string(game) + "/events HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
    if (!client->connect_to("127.0.0.1", port) ||
        client->send(ask.data(), ask.size()) != ask.size()) {
        return nullptr;
    }
    std::string head;
    std::uint32_t budget = 10000;
    for (char c = 0; head.find("\r\n\r\n") == std::string::npos; head += c) {
        if (!client->receive(&c, 1, budget)) {
            return nullptr;
        }
    }
    return head.rfind("HTTP/1.1 200", 0) == 0 ? std::move(client) : nullptr;
}

} // namespace

// Games of four groups on a 2- and a 4-player map: the JSON of every finished game, its record
// equal to the --records file, its page equal to `reversi-map replay` of that file, standings
// that count every seat, short answers to bad requests, and the standings in a browser.
TEST(LobbyWeb, JsonRecordsPagesAndBadRequests) {
    TempFolder folder;
    const std::string records = folder.file("records");
    WebLobby lobby({"-m", mapPath("example2p.map"), "-m", mapPath("transitions4p.map"), "--db",
                    folder.file("lobby.db"), "--records", records});
    ASSERT_NE(lobby.http, 0);
    ASSERT_NE(lobby.port, 0);
    playRounds(lobby.port);
    // Running first: every bot has left, so no game starts any more, and once none runs the
    // finished list read after it holds them all.
    Json finished;
    ASSERT_TRUE(waitUntil(
        [&] {
            if (!getJson(lobby.http, "/api/games?state=running").empty()) {
                return false;
            }
            finished = getJson(lobby.http, "/api/games?state=finished");
            return finished.size() >= 2;
        },
        10s));

    std::size_t seats = 0;
    for (const Json& game : finished) {
        const auto id = game["id"].get<std::int64_t>();
        SCOPED_TRACE("game " + std::to_string(id));
        EXPECT_EQ(game["state"], "finished");
        EXPECT_GE(game["endedMs"].get<std::int64_t>(), game["startedMs"].get<std::int64_t>());
        EXPECT_EQ(game["seats"].size(), game["map"] == "example2p.map" ? 2u : 4u);
        seats += game["seats"].size();
        EXPECT_EQ(getJson(lobby.http, "/api/games/" + std::to_string(id)), game);
        const std::string file = records + "/game-" + std::to_string(id) + ".rec";
        const HttpAnswer record =
            httpGet(lobby.http, "/api/games/" + std::to_string(id) + "/record");
        EXPECT_EQ(record.body, readFile(file));
        GameRecordData data;
        std::string error;
        std::istringstream in(record.body);
        EXPECT_TRUE(readGameRecord(in, data, error)) << error;
        EXPECT_TRUE(data.finished);
        EXPECT_EQ(httpGet(lobby.http, "/games/" + std::to_string(id)).body, replayOf(folder, file));
    }
    const Json newest = getJson(lobby.http, "/api/games?state=finished&limit=1");
    ASSERT_EQ(newest.size(), 1u);
    EXPECT_EQ(newest[0], finished.back());

    const Json standings = getJson(lobby.http, "/api/standings");
    std::size_t counted = 0;
    std::vector<std::string> names;
    for (const Json& group : standings["groups"]) {
        counted += group["games"].get<std::size_t>();
        names.push_back("group " + std::to_string(group["group"].get<unsigned>()));
        EXPECT_GT(group["lastSeenMs"].get<std::int64_t>(), 0);
        EXPECT_EQ(group["disqualified"].size(), 4u);
        EXPECT_TRUE(group["rating"].contains("low"));
    }
    EXPECT_EQ(counted, seats);
    EXPECT_EQ(names.size(), 4u);

    const std::vector<std::pair<std::string, int>> bad{
        {"/api/games?state=waiting", 400}, {"/api/games?limit=ten", 400},
        {"/api/games?limit=0", 400},       {"/api/games/x1", 400},
        {"/games/1/events?from=-1", 400},  {"/api/games/999", 404},
        {"/api/games/999/record", 404},    {"/games/999", 404},
        {"/games/1/events", 404},          {"/nothing/here", 404}};
    for (const auto& [path, status] : bad) {
        const HttpAnswer answer = httpGet(lobby.http, path);
        EXPECT_EQ(answer.status, status) << path;
        EXPECT_FALSE(answer.body.empty()) << path;
    }
    EXPECT_EQ(httpPost(lobby.http, "/api/games").status, 405);

    const std::string chromium = findChromium();
    if (!chromium.empty()) {
        HeadlessBrowser browser(chromium);
        ASSERT_TRUE(browser.open("http://127.0.0.1:" + std::to_string(lobby.http) + "/"));
        Json shown;
        EXPECT_TRUE(waitUntil(
            [&] {
                shown = browser
                            .evaluate("Array.from(document.querySelectorAll("
                                      "'#standings tbody tr')).map(r => r.cells[1].textContent)")
                            .value_or(Json());
                return shown == Json(names);
            },
            20s))
            << shown.dump();
    }
    lobby.signal(SIGTERM);
    EXPECT_EQ(lobby.wait(RunLimit).exitStatus, 0);
    if (chromium.empty()) {
        GTEST_SKIP() << "chromium not found (Debian package chromium): standings page not tested "
                        "in a browser";
    }
}

// A game against a seat that answers only when the test says so: a late reader of the stream
// gets every event so far with its record line; the open page shows the test's next move within
// a second of the referee applying it, and after the game the page is its replay.
TEST(LobbyWebLive, RunningGamesPageFollowsEachMove) {
    TempFolder folder;
    WebLobby lobby({"-m", mapPath("classic8x8.map"), "--db", folder.file("lobby.db"), "--records",
                    folder.file("records")});
    ASSERT_NE(lobby.http, 0);
    ScriptedProcess bot(programPath("reversi-bot"),
                        {"-p", std::to_string(lobby.port), "-g", "1", "--seed", "4"});
    SlowSeat seat;
    ASSERT_TRUE(seat.start(lobby.port));
    for (unsigned turn = 0; turn < 2; ++turn) {
        ASSERT_TRUE(seat.awaitTurn());
        ASSERT_TRUE(seat.move());
    }
    ASSERT_TRUE(seat.awaitTurn());

    const auto events = streamEvents(lobby.http, "/games/1/events", seat.events);
    ASSERT_EQ(events.size(), seat.events);
    const HttpAnswer record = httpGet(lobby.http, "/api/games/1/record");
    std::string lines;
    for (std::size_t n = 0; n < events.size(); ++n) {
        EXPECT_EQ(events[n]["n"], n + 1);
        EXPECT_GT(events[n]["appliedMs"].get<std::int64_t>(), 0);
        lines += events[n]["lines"].get<std::string>();
    }
    ASSERT_GE(record.body.size(), lines.size());
    EXPECT_EQ(record.body.substr(record.body.size() - lines.size()), lines);
    GameRecordData data;
    std::string error;
    std::istringstream in(record.body);
    ASSERT_TRUE(readGameRecord(in, data, error)) << error;
    EXPECT_FALSE(data.finished);
    EXPECT_EQ(data.events.size(), seat.events);

    // Streams beyond the limit of 32 are refused (the stream read above may still hold its
    // slot); closed ones free their slots within seconds.
    {
        std::vector<std::unique_ptr<TcpClient>> streams;
        for (auto stream = openStream(lobby.http, 1); stream != nullptr && streams.size() < 40;
             stream = openStream(lobby.http, 1)) {
            streams.push_back(std::move(stream));
        }
        EXPECT_GE(streams.size(), 31u);
        EXPECT_LE(streams.size(), 32u);
        EXPECT_EQ(httpGet(lobby.http, "/games/1/events").status, 503);
    }
    EXPECT_TRUE(waitUntil([&] { return openStream(lobby.http, 1) != nullptr; }, 10s));

    const std::string chromium = findChromium();
    if (chromium.empty()) {
        GTEST_SKIP() << "chromium not found (Debian package chromium): live page not tested";
    }
    HeadlessBrowser browser(chromium);
    ASSERT_TRUE(browser.open("http://127.0.0.1:" + std::to_string(lobby.http) + "/games/1"));
    const auto shownEvents = [&] {
        return browser.evaluate("document.querySelectorAll('#moves li').length - 1")
            .value_or(Json(-1))
            .get<long>();
    };
    ASSERT_TRUE(waitUntil(
        [&] {
            const auto live = browser.evaluate("document.getElementById('live').textContent");
            return live && live->get<std::string>() == "live: following the game";
        },
        20s));
    EXPECT_EQ(shownEvents(), static_cast<long>(seat.events));

    const auto moved = std::chrono::steady_clock::now();
    ASSERT_TRUE(seat.move());
    ASSERT_TRUE(waitUntil([&] { return shownEvents() > static_cast<long>(seat.events); }, 10s));
    EXPECT_LT(std::chrono::steady_clock::now() - moved, 1s);
    // The page follows at the newest position.
    EXPECT_EQ(
        browser.evaluate("(() => { const n = document.querySelectorAll('#moves li').length - 1;"
                         "return document.getElementById('position').textContent === "
                         "'event ' + n + ' / ' + n; })()"),
        Json(true));
    const auto latency = browser.evaluate("+document.getElementById('live').dataset.latency");
    ASSERT_TRUE(latency);
    EXPECT_LT(latency->get<long>(), 1000);

    // Leaving the game disqualifies the seat; the bot plays on alone to the end, and the page
    // reloads as the finished game's replay.
    seat.disconnect();
    EXPECT_EQ(bot.wait(RunLimit).exitStatus, 0);
    EXPECT_TRUE(waitUntil(
        [&] {
            return browser.evaluate("typeof LIVE === 'undefined'")
                .value_or(Json(false))
                .get<bool>();
        },
        20s));
    EXPECT_EQ(httpGet(lobby.http, "/games/1").body,
              replayOf(folder, folder.file("records/game-1.rec")));
    lobby.signal(SIGTERM);
    EXPECT_EQ(lobby.wait(RunLimit).exitStatus, 0);
}
