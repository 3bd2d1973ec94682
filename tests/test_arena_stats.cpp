// The arena's arithmetic against known answers: Elo and its interval from fixed counts, SPRT
// decisions on result streams of known strength, the seat rotation, ranks and table sums from
// fixed games, and the result and record readers on good and broken text.
#include <cmath>
#include <map>
#include <random>

#include <gtest/gtest.h>

#include "arena/Elo.hpp"
#include "arena/GameResult.hpp"
#include "arena/PlayerList.hpp"
#include "arena/RecordSummary.hpp"
#include "arena/SeatPlan.hpp"
#include "arena/Sprt.hpp"
#include "arena/Standings.hpp"

namespace {

GameResult finishedGame(unsigned index, std::vector<SeatResult> seats) {
    GameResult result;
    result.game = index;
    result.map = "/maps/some map.map";
    result.status = GameStatus::Finished;
    result.durationMs = 42;
    result.seats = std::move(seats);
    return result;
}

// `games` results drawn with the first player scoring with the probabilities of `elo`
// (draws at 20 %), fed to the SPRT until it decides; the decision and the games it took.
std::pair<SprtDecision, int> runSprt(double elo, std::uint32_t seed) {
    const SprtParameters parameters{0, 20, 0.05, 0.05};
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> uniform(0, 1);
    const double expected = scoreFromElo(elo);
    const double draw = 0.2;
    const double win = expected - draw / 2;
    PairCounts counts;
    for (int game = 1; game <= 200000; ++game) {
        const double u = uniform(random);
        (u < win ? counts.wins : u < win + draw ? counts.draws : counts.losses) += 1;
        const auto state = evaluateSprt(parameters, counts);
        if (state.decision != SprtDecision::Continue) {
            return {state.decision, game};
        }
    }
    return {SprtDecision::Continue, 0};
}

} // namespace

TEST(ArenaStatistics, EloAndIntervalFromFixedCounts) {
    EXPECT_NEAR(eloFromScore(0.6), 70.44, 0.01);
    EXPECT_NEAR(scoreFromElo(70.44), 0.6, 1e-4);
    // 60-40-0: s = 0.6, se = sqrt(0.24 / 100), s +- 1.96 se = 0.504 ... 0.696.
    const auto sixty = estimateElo({60, 0, 40});
    EXPECT_NEAR(sixty.elo, 70.4, 0.1);
    ASSERT_EQ(sixty.kind, EloKind::Value);
    ASSERT_TRUE(sixty.low && sixty.high);
    EXPECT_NEAR(*sixty.low, eloFromScore(0.6 - 1.959964 * std::sqrt(0.0024)), 0.01);
    EXPECT_NEAR(*sixty.high, eloFromScore(0.6 + 1.959964 * std::sqrt(0.0024)), 0.01);
    EXPECT_NEAR(*sixty.low, 2.8, 0.1);
    EXPECT_NEAR(*sixty.high, 143.9, 0.1);
    // Draws count half and narrow the interval; even results are 0 and symmetric.
    const auto drawn = estimateElo({30, 40, 30});
    EXPECT_NEAR(drawn.elo, 0, 1e-9);
    EXPECT_NEAR(drawn.low.value(), -drawn.high.value(), 1e-9);
    EXPECT_LT(drawn.high.value(), estimateElo({50, 0, 50}).high.value());
    // A perfect score is a bound, the Elo of 3.5 wins in 4, with an interval open above; a
    // nil score mirrors it; with few outcomes both ends reach a score of 0 or 1 and stay open.
    const auto perfect = estimateElo({4, 0, 0});
    EXPECT_EQ(perfect.kind, EloKind::Above);
    EXPECT_NEAR(perfect.elo, 338.0, 0.05);
    EXPECT_NEAR(perfect.low.value(), estimateElo({3.5, 0, 0.5}).low.value(), 1e-9);
    EXPECT_FALSE(perfect.high);
    const auto nil = estimateElo({0, 0, 4});
    EXPECT_EQ(nil.kind, EloKind::Below);
    EXPECT_NEAR(nil.elo, -perfect.elo, 1e-9);
    EXPECT_NEAR(nil.high.value(), -perfect.low.value(), 1e-9);
    EXPECT_FALSE(nil.low);
    const auto even = estimateElo({1, 0, 1});
    EXPECT_EQ(even.kind, EloKind::Value);
    EXPECT_FALSE(even.low || even.high);
    EXPECT_EQ(estimateElo({1, 0, 0}).elo, 0);
    EXPECT_EQ(estimateElo({}).kind, EloKind::None);
}

TEST(ArenaStatistics, SprtDecidesStreamsOfKnownStrength) {
    SprtParameters parameters;
    EXPECT_TRUE(parseSprtParameters("0,10", parameters));
    EXPECT_EQ(parameters.elo1, 10);
    EXPECT_TRUE(parseSprtParameters("-5,5,0.1,0.2", parameters));
    EXPECT_DOUBLE_EQ(parameters.beta, 0.2);
    for (const char* bad : {"", "5", "5,0", "0,5,0.05", "0,5,0,0.05", "0,5,0.05,0.6", "a,b", "0,5,",
                            "0,inf", "0, 5x"}) {
        EXPECT_FALSE(parseSprtParameters(bad, parameters)) << bad;
    }
    // Bounds for alpha = beta = 0.05: log(0.05 / 0.95) and its negative.
    EXPECT_NEAR(evaluateSprt({0, 20, 0.05, 0.05}, {}).upperBound, 2.944, 0.001);
    for (std::uint32_t seed = 1; seed <= 5; ++seed) {
        SCOPED_TRACE(seed);
        EXPECT_EQ(runSprt(60, seed).first, SprtDecision::AcceptH1);
        EXPECT_EQ(runSprt(-40, seed).first, SprtDecision::AcceptH0);
        EXPECT_EQ(runSprt(0, seed).first, SprtDecision::AcceptH0);
    }
    // A clear difference is found within a few hundred games, a run of wins is no proof at once.
    EXPECT_LT(runSprt(200, 1).second, 300);
    EXPECT_GT(runSprt(2000, 1).second, 5);
}

TEST(ArenaPlan, EverySeatSeesEveryEntryEquallyOften) {
    for (const auto& [entries, seats] : std::vector<std::pair<std::size_t, std::size_t>>{
             {2, 2}, {2, 4}, {4, 4}, {3, 2}, {3, 4}, {5, 8}}) {
        SCOPED_TRACE(std::to_string(entries) + " entries, " + std::to_string(seats) + " seats");
        const auto plan =
            planGames({"a.map", "b.map"}, {seats, 2}, unsigned(entries * 3), entries, 7);
        ASSERT_EQ(plan.size(), entries * 6);
        // The maps take turns, so that a run stopped early has played both.
        std::map<std::pair<std::size_t, std::size_t>, int> count;
        for (std::size_t g = 0; g < plan.size(); ++g) {
            EXPECT_EQ(plan[g].index, g + 1);
            EXPECT_EQ(plan[g].map, g % 2 == 0 ? "a.map" : "b.map");
            if (g % 2 == 1) {
                continue;
            }
            ASSERT_EQ(plan[g].seats.size(), seats);
            for (std::size_t s = 0; s < seats; ++s) {
                ++count[{plan[g].seats[s], s}];
            }
        }
        ASSERT_EQ(count.size(), entries * seats);
        for (const auto& [key, n] : count) {
            EXPECT_EQ(n, 3);
        }
        EXPECT_NE(seatSeed(plan[0], 1), seatSeed(plan[1], 1));
    }
    EXPECT_EQ(expandCommand("bot -s {host} -p {port} --seed {seed}{x}",
                            {{"host", "h"}, {"port", "7"}, {"seed", "9"}}),
              "bot -s h -p 7 --seed 9{x}");
    EXPECT_EQ(shellQuote("it's $x"), "'it'\\''s $x'");
    PlayerEntry entry;
    EXPECT_TRUE(parsePlayerOption("ai.v2=prog -x=1", entry));
    EXPECT_EQ(entry.command, "prog -x=1");
    for (const char* bad : {"noequals", "=cmd", "a b=cmd", "a=", "a=  "}) {
        EXPECT_FALSE(parsePlayerOption(bad, entry)) << bad;
    }
}

// Ranks share places on equal scores, disqualified seats come last; first places are split,
// pairwise outcomes skip copies of the same player, and the sums add up.
TEST(ArenaStandings, RanksWinsSharesAndPairsFromFixedGames) {
    const auto four = finishedGame(2, {{"ai", 30, DisqualifyCause::None},
                                       {"bot", 30, DisqualifyCause::None},
                                       {"bot", 20, DisqualifyCause::None},
                                       {"bot", -1, DisqualifyCause::Time}});
    EXPECT_EQ(ranksOf(four), (std::vector<unsigned>{1, 1, 3, 4}));
    Standings standings;
    standings.add(
        finishedGame(1, {{"ai", 40, DisqualifyCause::None}, {"bot", 24, DisqualifyCause::None}}));
    standings.add(four);
    GameResult hung = four;
    hung.status = GameStatus::Stopped;
    standings.add(hung);
    EXPECT_EQ(standings.finished(), 2u);
    EXPECT_EQ(standings.stopped(), 1u);
    const auto players = standings.players();
    ASSERT_EQ(players.size(), 2u);
    const PlayerStanding& ai = players[0];
    const PlayerStanding& bot = players[1];
    EXPECT_EQ(ai.name, "ai");
    EXPECT_EQ(ai.games, 2u);
    EXPECT_DOUBLE_EQ(ai.wins, 1.5);
    EXPECT_DOUBLE_EQ(bot.wins, 0.5);
    EXPECT_DOUBLE_EQ(ai.averageRank(), 1.0);
    EXPECT_DOUBLE_EQ(bot.averageRank(), (2 + 1 + 3 + 4) / 4.0);
    EXPECT_NEAR(ai.stoneShare(), (40 / 64.0 + 30 / 80.0) / 2, 1e-12);
    EXPECT_EQ(bot.disqualified[static_cast<int>(DisqualifyCause::Time)], 1u);
    EXPECT_EQ(bot.seatGames, (std::vector<unsigned>{0, 2, 1, 1}));
    // ai: beats bot in game 1, draws one bot and beats two in game 2.
    EXPECT_EQ(ai.pairs.wins, 3);
    EXPECT_EQ(ai.pairs.draws, 1);
    EXPECT_EQ(ai.pairs.losses, 0);
    EXPECT_EQ(standings.headToHead("bot", "ai").losses, 3);
    const std::string table = standings.formatTable(std::nullopt);
    EXPECT_NE(table.find("Games: 3 (2 finished, 1 stopped as hung, 0 failed)"), std::string::npos)
        << table;
    EXPECT_EQ(standings.formatCsv().find("player,games,wins"), 0u);
    // Winning every pair has no finite Elo: every output shows a bound and no infinity.
    Standings sweep;
    for (unsigned game = 1; game <= 4; ++game) {
        sweep.add(finishedGame(
            game, {{"ai", 40, DisqualifyCause::None}, {"bot", 24, DisqualifyCause::None}}));
    }
    const std::string sweptTable = sweep.formatTable(std::nullopt);
    const std::string sweptJson = sweep.formatJson(std::nullopt);
    const std::string sweptCsv = sweep.formatCsv();
    EXPECT_NE(sweptTable.find("         0  > +338.0  [+35.5, open]\n"), std::string::npos)
        << sweptTable;
    EXPECT_NE(sweptTable.find("         0  < -338.0  [open, -35.5]\n"), std::string::npos)
        << sweptTable;
    EXPECT_NE(sweptJson.find("\"elo\": null, \"elo_above\": 338.0, \"elo_low\": 35.5, "
                             "\"elo_high\": null"),
              std::string::npos)
        << sweptJson;
    EXPECT_NE(sweptJson.find("\"elo\": null, \"elo_below\": -338.0, \"elo_low\": null, "
                             "\"elo_high\": -35.5"),
              std::string::npos)
        << sweptJson;
    EXPECT_NE(sweptCsv.find(",>338.0,35.5,,"), std::string::npos) << sweptCsv;
    EXPECT_NE(sweptCsv.find(",<-338.0,,-35.5,"), std::string::npos) << sweptCsv;
    for (const std::string* text : {&sweptTable, &sweptJson, &sweptCsv}) {
        EXPECT_EQ(text->find("inf"), std::string::npos) << *text;
        EXPECT_EQ(text->find("Inf"), std::string::npos) << *text;
    }
}

TEST(ArenaFiles, ResultFilesRoundTripAndBrokenOnesAreRefused) {
    const auto game = finishedGame(
        12, {{"ai", 33, DisqualifyCause::None}, {"bot-2", -1, DisqualifyCause::Illegal}});
    const std::string text = formatGameResult(game);
    GameResult read;
    ASSERT_TRUE(parseGameResult(text, read));
    EXPECT_EQ(formatGameResult(read), text);
    EXPECT_EQ(read.map, "/maps/some map.map");
    const auto replaced = [&text](const std::string& from, const std::string& to) {
        std::string changed = text;
        changed.replace(changed.find(from), from.size(), to);
        return changed;
    };
    const std::vector<std::string> broken = {
        "",
        text.substr(0, text.find("seat 2")),
        replaced("result 1", "result 2"),
        replaced("game 12", "game 0"),
        replaced("game 12", "game 99999999999999999999"),
        replaced("game 12", "game 12x"),
        replaced("status finished", "status won"),
        replaced("duration_ms 42", "duration_ms -1"),
        replaced("seat 2", "seat 3"),
        replaced("seat 1 ai", "seat 1 a;i"),
        replaced("33 -", "-1 -"),
        replaced("-1 illegal", "5 illegal"),
        replaced("-1 illegal", "2501 -"),
        replaced("33 -", "33  -"),
        text + "seat 3 x 1 -\nextra\n",
        text + std::string(1, '\0'),
        std::string("reversi-arena-result 1\ngame 1\nmap \n"),
    };
    for (const auto& bad : broken) {
        EXPECT_FALSE(parseGameResult(bad, read)) << bad;
    }
    EXPECT_EQ(read.game, 12u);
    EXPECT_EQ(causeFromReason("no move within the time limit"), DisqualifyCause::Time);
    EXPECT_EQ(causeFromReason("illegal move (1,2) choice 0"), DisqualifyCause::Illegal);
    EXPECT_EQ(causeFromReason("sent another message than a move"), DisqualifyCause::Illegal);
    EXPECT_EQ(causeFromReason("disconnected"), DisqualifyCause::Disconnect);
    EXPECT_EQ(causeFromReason("connection lost or corrupt message"), DisqualifyCause::Disconnect);
}

TEST(ArenaFiles, RecordSummaryReadsScoresAndReasons) {
    const std::string record = "map 2\n2\nx y\nmove 1 2 3 0\ndisqualify 2 illegal move (9,9) "
                               "choice 0\nscores 12 -1\n";
    RecordSummary summary;
    ASSERT_TRUE(readRecordSummary(record, 2, summary));
    EXPECT_EQ(summary.scores, (std::vector<int>{12, -1}));
    EXPECT_EQ(summary.reasons[1], "illegal move (9,9) choice 0");
    for (const std::string& bad :
         {std::string("map 2\n2\n"), record.substr(0, record.find("scores")),
          std::string("map 0\nscores 1 2\n"), std::string("map 1\nx\ndisqualify 3 x\nscores 1 2\n"),
          std::string("map 1\nx\nscores 1 2 3\n"), std::string("map 1\nx\nscores 1 2\nmove 1\n"),
          std::string("map 1\nx\nhello\nscores 1 2\n"), std::string("map 99999999999999\n")}) {
        EXPECT_FALSE(readRecordSummary(bad, 2, summary)) << bad;
    }
}
