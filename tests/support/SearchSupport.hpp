// Helpers for the tests of the AI's searches: a small solved position and the check that a
// searched move is one the referee accepts.
#pragma once

#include <gtest/gtest.h>

#include "common/Game.hpp"
#include "search/Searcher.hpp"

namespace testing_support {

// A position of player 1 on turn with four legal moves of which only (4,0) wins: every other
// move lets player 2 keep the lower left block.
extern const char* const OneWinningMove;

// Whether the searched move is one the referee accepts from the player on turn.
void expectLegal(const Game& game, const SearchBoard& board, const PlyMove& best);

} // namespace testing_support
