// The replay page in a real browser: headless Chromium opens the page at chosen events (the
// page reads #move=N from its address), and the board text and scores it shows must be those
// of replaying the record with the rules engine. The record has a disqualification and a bomb
// phase, which the move list must mark.
#include <chrono>
#include <memory>
#include <random>
#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "bot/BotGame.hpp"
#include "common/GameRecord.hpp"
#include "tests/support/GameSupport.hpp"
#include "tests/support/HeadlessBrowser.hpp"
#include "tests/support/ScriptedProcess.hpp"
#include "tests/support/TempFolder.hpp"
#include "tests/support/TestPaths.hpp"

using namespace std::chrono_literals;
using namespace testing_support;

namespace {

// A greedy game on the four-player map in which player 3 is disqualified after ten moves.
void writeRecord(const std::string& path) {
    const auto map = mapFromFile("transitions4p.map");
    BotGame game(*map);
    GameRecord record;
    ASSERT_TRUE(record.open(path));
    record.writeMap(*map);
    std::mt19937 random(5);
    for (unsigned n = 0; !game.is_final(); ++n) {
        if (n == 10) {
            game.disqualify(static_cast<Player>(3));
            record.writeDisqualification(static_cast<Player>(3), "illegal move <7,7> & more");
            continue;
        }
        long score = 0;
        std::size_t ties = 0;
        const Move move = game.chooseGreedy(random, score, ties);
        ASSERT_TRUE(move.isValid());
        game.makeMove(move);
        record.writeMove(move);
    }
    record.writeScores(game);
}

// What the engine shows after `events` events: the plain board text and the scores as the
// page writes them ("out" for a disqualified player).
struct Expected {
    std::string board;
    std::vector<std::string> scores;
    bool bombPhase = false;
};

std::vector<Expected> replayAll(const GameRecordData& record) {
    RecordReplay replay;
    std::string error;
    std::vector<Expected> all;
    EXPECT_TRUE(replay.start(record, error));
    while (true) {
        Expected e;
        e.board = replay.game().getBoard().asSimpleString();
        int scores[8] = {};
        replay.game().get_scores(scores);
        for (unsigned p = 0; p < replay.game().getNrPlayers(); ++p) {
            e.scores.push_back(scores[p] < 0 ? "out" : std::to_string(scores[p]));
        }
        e.bombPhase = replay.game().is_terminal();
        all.push_back(e);
        if (replay.atEnd()) {
            return all;
        }
        EXPECT_TRUE(replay.step(error)) << error;
    }
}

// The DOM after the page's script ran, from a browser with a profile folder of its own.
std::unique_ptr<ScriptedProcess> dumpDom(const std::string& browser, const TempFolder& folder,
                                         const std::string& page, std::size_t event) {
    const std::string profile = folder.file("profile" + std::to_string(event));
    return std::make_unique<ScriptedProcess>(
        browser, std::vector<std::string>{
                     "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic",
                     "--no-first-run", "--disable-background-networking",
                     "--disable-component-update", "--disable-sync", "--user-data-dir=" + profile,
                     "--dump-dom", "file://" + page + "#move=" + std::to_string(event)});
}

std::string boardText(const std::string& dom) {
    const std::regex pre("<pre id=\"board-text\">([^<]*)</pre>");
    std::smatch match;
    return std::regex_search(dom, match, pre) ? match[1].str() : "";
}

std::vector<std::string> shownScores(const std::string& dom) {
    const std::regex cell("<td class=\"score\" data-player=\"[0-9]\">([^<]*)</td>");
    std::vector<std::string> scores;
    for (auto it = std::sregex_iterator(dom.begin(), dom.end(), cell); it != std::sregex_iterator();
         ++it) {
        scores.push_back((*it)[1]);
    }
    return scores;
}

TEST(MapToolReplay, BrowserShowsTheEnginesBoardAndScores) {
    TempFolder folder;
    writeRecord(folder.file("game.rec"));
    GameRecordData record;
    std::string error;
    ASSERT_TRUE(loadGameRecord(folder.file("game.rec"), record, error)) << error;
    const auto expected = replayAll(record);
    const std::string page = folder.file("game.html");
    const auto made = runProcess(programPath("reversi-map"),
                                 {"replay", folder.file("game.rec"), "-o", page}, 60s);
    ASSERT_EQ(made.exitStatus, 0) << made.err;

    // The move list marks the disqualification and every throw of the bomb phase.
    const std::string html = readFile(page);
    std::size_t bombs = 0;
    for (std::size_t n = 0; n + 1 < expected.size(); ++n) {
        bombs += expected[n].bombPhase ? 1 : 0;
    }
    ASSERT_GT(bombs, 0u);
    EXPECT_EQ(countOf(html, " bomb\">"), bombs);
    EXPECT_EQ(countOf(html, "class=\"p3 dq\">11. P3 disqualified: illegal move &lt;7,7&gt; "
                            "&amp; more</li>"),
              1u);
    EXPECT_EQ(html.find("src="), std::string::npos);

    const std::string browser = findChromium();
    if (browser.empty()) {
        GTEST_SKIP() << "chromium not found (Debian package chromium): page not tested in a "
                        "browser";
    }
    const std::size_t firstBomb = static_cast<std::size_t>(
        std::find_if(expected.begin(), expected.end(), [](const auto& e) { return e.bombPhase; }) -
        expected.begin());
    // Each browser takes seconds to start, so two positions: after the disqualification and
    // in the bomb phase.
    const std::vector<std::size_t> events{11, firstBomb + 1};
    std::vector<std::unique_ptr<ScriptedProcess>> browsers;
    for (std::size_t event : events) {
        browsers.push_back(dumpDom(browser, folder, page, event));
    }
    for (std::size_t i = 0; i < events.size(); ++i) {
        SCOPED_TRACE("event " + std::to_string(events[i]));
        const auto result = browsers[i]->wait(120s);
        ASSERT_EQ(result.exitStatus, 0) << result.err;
        EXPECT_EQ(boardText(result.out), expected[events[i]].board);
        EXPECT_EQ(shownScores(result.out), expected[events[i]].scores);
    }
}

} // namespace
