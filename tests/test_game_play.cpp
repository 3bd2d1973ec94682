// Whole games on every sample map: random moves through an active game until FINAL with the
// board invariants checked after every step, then the same game replayed through a passive
// game, which must follow it step by step to the same board.
#include <random>
#include <set>

#include <gtest/gtest.h>

#include "common/Game.hpp"
#include "common/GameBoard.hpp"
#include "tests/support/BoardProbe.hpp"
#include "tests/support/GameSupport.hpp"

using testing_support::GameEvent;

namespace {

// Plays one random game on the map, replays its events through a passive game and returns
// them; the leader at the end is a valid player while there is one.
std::vector<GameEvent> playAndReplay(const std::string& name, unsigned seed,
                                     unsigned disqualifyOneIn) {
    SCOPED_TRACE(name + " seed " + std::to_string(seed));
    auto map = testing_support::mapFromFile(name);
    Game active(*map, false);
    std::mt19937 rng(seed);
    const auto events = testing_support::playRandomGame(active, rng, disqualifyOneIn);
    Game passive(*map, true);
    for (const GameEvent& event : events) {
        if (event.disqualification) {
            passive.disqualify(event.move.player);
        } else {
            EXPECT_TRUE(passive.makeMove(event.move)) << event.move;
        }
        EXPECT_TRUE(testing_support::invariantsHold(passive.getBoard()));
    }
    EXPECT_TRUE(passive.is_final());
    EXPECT_EQ(passive.getBoard().asSimpleString() + passive.getBoard().playerStatus(),
              active.getBoard().asSimpleString() + active.getBoard().playerStatus());
    EXPECT_EQ(passive.getStatus(), active.getStatus());
    EXPECT_EQ(passive.getValidPlayers(), active.getValidPlayers());
    int scores[8] = {};
    const Player leader = active.get_scores(scores);
    EXPECT_TRUE(active.get_valid_players() == 0 ||
                (leader != Player::P_INVALID && !active.is_disqualified(leader)));
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
