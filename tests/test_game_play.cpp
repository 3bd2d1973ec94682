// Whole games on every sample map: random moves through an active game until FINAL with the
// board invariants checked after every step, then the same game replayed through a passive
// game, which must follow it step by step to the same board.
#include <random>
#include <set>

#include <gtest/gtest.h>

#include "common/Game.hpp"
#include "common/GameBoard.hpp"
#include "tests/support/GameSupport.hpp"

using testing_support::GameEvent;
using testing_support::mapFromFile;

namespace {

// The passive game applies the recorded events and must agree with the active one at the end
// of every step the active game recorded.
void replayPassively(const Map& map, const std::vector<GameEvent>& events, const Game& active) {
    Game passive(map, true);
    for (const GameEvent& event : events) {
        if (event.disqualification) {
            passive.disqualify(event.move.player);
        } else {
            ASSERT_TRUE(passive.makeMove(event.move)) << event.move;
        }
        ASSERT_TRUE(testing_support::boardInvariantsHold(passive));
    }
    EXPECT_TRUE(passive.is_final());
    EXPECT_EQ(passive.getBoard().asSimpleString(), active.getBoard().asSimpleString());
    EXPECT_EQ(passive.getBoard().playerStatus(), active.getBoard().playerStatus());
    EXPECT_EQ(passive.getStatus(), active.getStatus());
    EXPECT_EQ(passive.getValidPlayers(), active.getValidPlayers());
}

// Plays one random game on the map and replays it; returns its events.
std::vector<GameEvent> playAndReplay(const std::string& name, unsigned seed,
                                     unsigned disqualifyOneIn) {
    SCOPED_TRACE(name + " seed " + std::to_string(seed));
    auto map = mapFromFile(name);
    Game active(*map, false);
    std::mt19937 rng(seed);
    const std::vector<GameEvent> events =
        testing_support::playRandomGame(active, rng, disqualifyOneIn);
    replayPassively(*map, events, active);
    int scores[8] = {};
    const Player leader = active.get_scores(scores);
    if (active.get_valid_players() > 0) {
        EXPECT_NE(leader, Player::P_INVALID);
        EXPECT_FALSE(active.is_disqualified(leader));
    }
    EXPECT_FALSE(events.empty());
    return events;
}

} // namespace

// The games must reach every kind of move: exchanges with each player of the four-player
// maps on choice squares, both bonus choices, and bomb throws.
TEST(WholeGames, RandomGamesOnEveryMapReplayPassively) {
    std::set<MoveChoice> choices;
    unsigned bombThrows = 0;
    for (const std::string& name : testing_support::sampleMapNames()) {
        for (unsigned seed : {1u, 2u, 3u}) {
            for (const GameEvent& event : playAndReplay(name, seed, 0)) {
                choices.insert(event.move.choice);
                bombThrows += event.move.terminal;
            }
        }
    }
    for (MoveChoice c : {MoveChoice(1), MoveChoice(2), MoveChoice(3), MoveChoice(4),
                         MoveChoice::BOMB, MoveChoice::OVERRIDE}) {
        EXPECT_EQ(choices.count(c), 1u) << "no move with choice " << c;
    }
    EXPECT_GT(bombThrows, 0u);
}

TEST(WholeGames, RandomGamesWithDisqualificationsReplayPassively) {
    for (const std::string& name : testing_support::sampleMapNames()) {
        for (unsigned seed : {11u, 12u, 13u, 14u}) {
            playAndReplay(name, seed, 25);
        }
    }
}
