// The static evaluation: how good a position is for one player, on any map. What the map
// itself says (which squares can never be captured, which hand a corner over) is worked out
// once per game; each call then reads the position.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "search/Patterns.hpp"
#include "search/SearchBoard.hpp"
#include "search/SearchParams.hpp"
#include "search/Stability.hpp"

// Evaluates positions of one map from the view of a given (root) player. Every score compares
// the root player with its strongest opponent, so that in games of three or more players the
// search plays for first place rather than for stones.
class Evaluator {
public:
    // Reads the geometry of the board's map; any later position of that game may be evaluated
    // with the weights of `params`.
    explicit Evaluator(const SearchBoard& board, const SearchParams& params = {});
    const SearchParams& params() const { return m_params; }

    // A heuristic score of a position that is not over, inside +-SearchParams::HeuristicLimit.
    int evaluate(const SearchBoard& board, Player root) const;
    // The parts of a build-phase score, for fitting the weights to game results: each
    // player's own score (index 1 ... players()), of which evaluate takes the root player's
    // minus the strongest opponent's, and what the parity adds to that for `root`.
    std::array<int, 9> playerScores(const SearchBoard& board) const;
    int parityScore(const SearchBoard& board, Player root) const;
    // The edge lines and corner blocks of the map, and whether they count in the position.
    const PatternSet& patterns() const { return m_patterns; }
    bool patternsCount(const SearchBoard& board) const;
    // The exact score of a finished game: a win beats every heuristic score, rank comes before
    // the stone margin.
    int finalScore(const SearchBoard& board, Player root) const;
    // The static value of a stone on square i, for move ordering.
    int squareValue(index_t i) const { return m_value[i]; }
    // An override stone in stock on this map (see SearchParams::overrideManyPercent).
    int overrideValue() const { return m_overrideValue; }
    // No game from this position lasts more moves than this: every move fills an empty or
    // special square, takes an expansion square, or uses up an override stone or a bomb.
    unsigned movesLeftBound(const SearchBoard& board) const;

    // Lines through square i that are open on both sides (0 ... 4): 0 makes a corner.
    unsigned openAxes(index_t i) const { return m_openAxes[i]; }

private:
    void addStable(const SearchBoard& board, int* stoneScore) const;
    void addPatterns(const SearchBoard& board, int* score) const;
    int bombPhaseScore(const SearchBoard& board, Player root) const;
    int squareScore(const SearchBoard& board, index_t i) const;
    static int potentialMoves(const SearchBoard& board, const SearchBoard::NearStones& near,
                              Player p);
    void expectInversions(unsigned players, unsigned open, int* stoneScore) const;
    int stockValue(const SearchBoard& board, Player p) const;
    int overrideValueOn(const SearchBoard& board) const;
    int survivalScore(unsigned held, unsigned opponents) const;
    // The root player's score minus that of the strongest opponent still in the game.
    static int againstStrongest(const SearchBoard& board, Player root, const int* score);

    SearchParams m_params;
    // The inversion squares still open in the board the evaluator was made from: no square
    // becomes one later.
    std::vector<index_t> m_inversionSquares;
    // Whether the board it was made from has inversion or choice squares, which hand stones
    // to other players.
    bool m_stonesChangeHands;
    // The squares where a stone is worth something or pays a penalty: edges, corners and the
    // squares next to corners.
    std::vector<index_t> m_valued;
    std::vector<std::uint8_t> m_openAxes;
    std::vector<int> m_value;
    // For a square next to a corner: that corner and the value of a stone there while the
    // corner is empty; INVALID_INDEX elsewhere.
    std::vector<index_t> m_corner;
    std::vector<int> m_cornerPenalty;
    int m_bombValue = 0;
    int m_overrideValue = 0;
    StableStones m_stable;
    PatternSet m_patterns;
};
