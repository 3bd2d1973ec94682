// The one-ply strategy of MyPlayer: try every legal move on a search board, evaluate the
// position after it, take it back, and play the best.
#include "MyPlayer.hpp"

#include <climits>
#include <vector>

#include "search/Evaluation.hpp"
#include "search/SearchBoard.hpp"

// The search board copies the game's position and makes and takes back moves cheaply; the
// evaluator scores a position for one player (a finished game by its exact result).
Move MyPlayer::getMove(Game* game, unsigned int /*timelimit*/, unsigned int /*depthlimit*/) {
    SearchBoard board(*game);
    const Evaluator evaluator(board);
    const Player me = getPlayer();
    std::vector<SearchMove> moves;
    board.generateMoves(me, moves);
    SearchMove best;
    int bestScore = INT_MIN;
    for (const SearchMove& move : moves) {
        board.makeMove(move, me);
        const int score =
            board.isFinal() ? evaluator.finalScore(board, me) : evaluator.evaluate(board, me);
        board.unmakeMove();
        if (score > bestScore) {
            bestScore = score;
            best = move;
        }
    }
    // With no legal move the result is invalid, and the session ends.
    return best.isValid() ? board.toMove(best, me) : Move();
}
