// Helpers for the tests of the AI's searches.
#include "SearchSupport.hpp"

namespace testing_support {

const char* const OneWinningMove = "2\n0\n0 0\n4 5\n"
                                   "0 1 0 0 0\n"
                                   "1 2 0 2 2\n"
                                   "2 1 0 1 1\n"
                                   "1 1 0 2 0\n";

void expectLegal(const Game& game, const SearchBoard& board, const PlyMove& best) {
    ASSERT_TRUE(best.move.isValid()) << board.asSimpleString();
    EXPECT_EQ(best.player, game.getCurrentPlayer());
    const Move move = board.toMove(best.move, best.player);
    EXPECT_TRUE(game.checkMove(move, true)) << move << "\n" << board.asSimpleString();
}

} // namespace testing_support
