// Helpers for the turn engine tests: maps, a collector of log messages, and random games
// recorded for replay.
#pragma once

#include <memory>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "LogCapture.hpp"
#include "common/Game.hpp"
#include "common/Map.hpp"

namespace testing_support {

// A map read from text, or from maps/<name>; the test fails when it is not a valid map.
std::unique_ptr<Map> mapFromText(const std::string& text);
std::unique_ptr<Map> mapFromFile(const std::string& name);
// The names of every map in maps/, sorted.
std::vector<std::string> sampleMapNames();

// Every legal move of the player on turn, in the generator's order.
std::vector<Move> generatedMoves(Game& game);

// A random legal move of the player on turn, with a random choice that fits its square: the
// first square that checkMove accepts from a random start on, round the board. Much cheaper on
// large boards than picking among every generated move. An invalid move when there is none.
Move randomMove(const Game& game, std::mt19937& rng);

// One step of a recorded game: a move, or the disqualification of a player.
struct GameEvent {
    Move move;
    bool disqualification = false;
};

// Plays an active game to FINAL with random moves (the generator must find a move too); with
// `disqualifyOneIn` > 0, at those odds a step instead disqualifies the player on turn for an
// illegal move or another player for a move out of turn. Checks the board invariants after
// every step, and now and then that each player's count is what the board's text shows as
// that player's, and returns the events in order.
std::vector<GameEvent> playRandomGame(Game& game, std::mt19937& rng, unsigned disqualifyOneIn);

} // namespace testing_support
