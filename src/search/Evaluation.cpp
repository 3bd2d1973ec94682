#include "search/Evaluation.hpp"

#include <algorithm>
#include <array>
#include <bit>

namespace {

// A square a stone may still be placed on without an override stone.
constexpr bool isOpen(Square s) {
    return s == Square::EMPTY || s == Square::INVERSION || s == Square::CHOICE ||
           s == Square::BONUS;
}

constexpr Player playerAt(unsigned p) {
    return static_cast<Player>(p);
}

unsigned stonesOnBoard(const SearchBoard& board) {
    unsigned stones = 0;
    for (unsigned c = 1; c <= 8; ++c) {
        stones += board.stonesOfColour(static_cast<Square>(c));
    }
    return stones;
}

} // namespace

// A line can close on a stone only along an axis with a square on both sides; squares of the
// map's holes never come back and bombs only remove squares, so the start geometry bounds the
// stability for the whole game.
Evaluator::Evaluator(const SearchBoard& board, const SearchParams& params)
    : m_params(params), m_stonesChangeHands(board.hasSwapSquares()), m_openAxes(board.size(), 0),
      m_value(board.size(), 0), m_corner(board.size(), INVALID_INDEX),
      m_cornerPenalty(board.size(), 0), m_overrideValue(overrideValueOn(board)), m_stable(board),
      m_patterns(board) {
    const auto area = 2 * board.geometry().bombStrength() + 1;
    m_bombValue = m_params.bombBaseValue + m_params.bombAreaValue * static_cast<int>(area * area);
    std::vector<index_t> playable;
    for (unsigned i = 0; i < board.size(); ++i) {
        const auto index = static_cast<index_t>(i);
        if (board.isHole(index)) {
            continue;
        }
        playable.push_back(index);
        if (board.square(index) == Square::INVERSION) {
            m_inversionSquares.push_back(index);
        }
        unsigned open = 0;
        for (unsigned d = 0; d < 4; ++d) {
            open += board.neighbour(index, Direction(d)) != INVALID_INDEX &&
                    board.neighbour(index, Direction(d + 4)) != INVALID_INDEX;
        }
        m_openAxes[i] = static_cast<std::uint8_t>(open);
        const std::array<int, 5> byAxes{m_params.cornerValue, m_params.edgeValue,
                                        m_params.twoAxesValue, 0, 0};
        m_value[i] = byAxes[open];
    }
    for (index_t corner : playable) {
        if (m_openAxes[corner] != 0) {
            continue;
        }
        for (unsigned d = 0; d < 8; ++d) {
            const index_t n = board.neighbour(corner, Direction(d));
            if (n == INVALID_INDEX || m_openAxes[n] == 0 || m_corner[n] != INVALID_INDEX) {
                continue;
            }
            m_corner[n] = corner;
            m_cornerPenalty[n] =
                d % 2 == 1 ? m_params.cornerDiagonalPenalty : m_params.cornerLinePenalty;
        }
    }
    for (index_t i : playable) {
        if (m_value[i] != 0 || m_corner[i] != INVALID_INDEX) {
            m_valued.push_back(i);
        }
    }
}

int Evaluator::evaluate(const SearchBoard& board, Player root) const {
    int score = 0;
    if (board.phase() == GamePhase::BUILD) {
        score =
            againstStrongest(board, root, playerScores(board).data()) + parityScore(board, root);
    } else {
        score = bombPhaseScore(board, root);
    }
    return std::clamp(score, -SearchParams::HeuristicLimit + 1, SearchParams::HeuristicLimit - 1);
}

// Frontier and potential mobility from the stones next to free squares, then the squares
// stone by stone and the stable stones, then per player: stones by game stage, mobility, the
// stocks, the patterns and, with three or more players, the risk of being taken out. The
// inversions still to come hand the stones on, and with them that risk: a player whose
// predecessor is out holds nothing after the next inversion.
std::array<int, 9> Evaluator::playerScores(const SearchBoard& board) const {
    std::array<int, 9> stoneScore{};
    const SearchBoard::NearStones near = board.nearStones();
    const unsigned stones = stonesOnBoard(board);
    unsigned inversions = 0;
    for (unsigned c = 1; c <= 8; ++c) {
        if (near.frontier[c] != 0) {
            stoneScore[static_cast<unsigned>(board.ownerOf(static_cast<Square>(c)))] +=
                m_params.frontierWeight * near.frontier[c];
        }
    }
    const auto addSquare = [&](index_t i) {
        const Square s = board.square(i);
        if (isStone(s)) {
            stoneScore[static_cast<unsigned>(board.ownerOf(s))] += squareScore(board, i);
        }
    };
    // Only squares with a value of their own or a corner next to them add anything: the walk
    // takes whichever of them and the occupied squares are fewer.
    if (stones < m_valued.size()) {
        board.forEachOccupied(addSquare);
    } else {
        std::for_each(m_valued.begin(), m_valued.end(), addSquare);
    }
    for (index_t i : m_inversionSquares) {
        inversions += board.square(i) == Square::INVERSION;
    }
    addStable(board, stoneScore.data());
    const bool twoPlayers = board.validPlayers() == 2;
    const unsigned playable = std::max<unsigned>(board.nonHoles(), 1);
    const int filled = static_cast<int>(std::min(stones, playable) * 256 / playable);
    const int stage = twoPlayers ? filled : filled * filled / 256;
    const int stoneWeight =
        (m_params.stoneWeightEarly * (256 - stage) + m_params.stoneWeightLate * stage) / 256;
    std::array<int, 9> score{};
    for (unsigned p = 1; p <= board.players(); ++p) {
        const Player player = playerAt(p);
        stoneScore[p] += stoneWeight * static_cast<int>(board.stones(player));
        if (board.isDisqualified(player)) {
            continue;
        }
        const int mobility =
            twoPlayers ? m_params.mobilityWeight * static_cast<int>(board.mobility(player))
                       : m_params.potentialMobilityWeight * potentialMoves(board, near, player);
        score[p] = mobility + stockValue(board, player);
        if (!twoPlayers) {
            stoneScore[p] +=
                survivalScore(board.stones(player), std::max(board.validPlayers(), 1u) - 1);
        }
    }
    if (!twoPlayers && inversions > 0) {
        expectInversions(board.players(), inversions, stoneScore.data());
    }
    for (unsigned p = 1; p <= board.players(); ++p) {
        score[p] += stoneScore[p];
    }
    addPatterns(board, score.data());
    return score;
}

// The stable stones, found only when they count: on a map with inversion or choice squares a
// stone that no capture can flip still changes hands with every inversion and choice, and
// there the term made the play of many players weaker.
void Evaluator::addStable(const SearchBoard& board, int* stoneScore) const {
    if (m_params.stabilityWeight == 0 ||
        (m_stonesChangeHands &&
         board.validPlayers() > static_cast<unsigned>(m_params.stabilityMaxPlayers))) {
        return;
    }
    std::array<unsigned, 9> stable{};
    m_stable.find(board, stable);
    for (unsigned c = 1; c <= 8; ++c) {
        if (stable[c] != 0) {
            stoneScore[static_cast<unsigned>(board.ownerOf(static_cast<Square>(c))) % 9] +=
                m_params.stabilityWeight * static_cast<int>(stable[c]);
        }
    }
}

// In two-player endings the side to move is favoured on an odd count of empties.
int Evaluator::parityScore(const SearchBoard& board, Player root) const {
    const unsigned stones = stonesOnBoard(board);
    const unsigned empties = board.nonHoles() - std::min(stones, board.nonHoles());
    if (board.validPlayers() != 2 || empties > static_cast<unsigned>(m_params.parityEmpties) ||
        empties % 2 == 0) {
        return 0;
    }
    return board.toMove() == root ? m_params.parityBonus : -m_params.parityBonus;
}

bool Evaluator::patternsCount(const SearchBoard& board) const {
    return board.validPlayers() <= static_cast<unsigned>(m_params.patternMaxPlayers);
}

// Each player's patterns as that player sees them.
void Evaluator::addPatterns(const SearchBoard& board, int* score) const {
    if (m_params.patternPercent == 0 || !m_params.patterns || !patternsCount(board)) {
        return;
    }
    std::array<int, 9> sum{};
    const std::vector<int>& weights = m_params.patterns->weights;
    m_patterns.forEachIndex(
        board, [&](Player p, unsigned index) { sum[static_cast<unsigned>(p)] += weights[index]; });
    for (unsigned p = 1; p <= board.players(); ++p) {
        score[p] += sum[p] * m_params.patternPercent / 100;
    }
}

// After k inversions player p holds what player p - k holds now. The number still to come is
// binomial over the open inversion squares; the rotations repeat after `players`.
void Evaluator::expectInversions(unsigned players, unsigned open, int* stoneScore) const {
    const double taken = m_params.inversionTakenPercent / 100.0;
    std::array<double, 9> chance{};
    std::array<double, 64> binomial{};
    binomial[0] = 1.0;
    const unsigned squares = std::min<unsigned>(open, 62);
    for (unsigned n = 1; n <= squares; ++n) {
        for (unsigned k = n; k >= 1; --k) {
            binomial[k] = binomial[k] * (1 - taken) + binomial[k - 1] * taken;
        }
        binomial[0] *= 1 - taken;
    }
    for (unsigned k = 0; k <= squares; ++k) {
        chance[k % players] += binomial[k];
    }
    std::array<int, 9> expected{};
    for (unsigned p = 1; p <= players; ++p) {
        double sum = 0;
        for (unsigned r = 0; r < players; ++r) {
            sum += chance[r] * stoneScore[(p + players - 1 - r) % players + 1];
        }
        expected[p] = static_cast<int>(sum);
    }
    std::copy(expected.begin() + 1, expected.begin() + players + 1, stoneScore + 1);
}

// The square's value, or a penalty while the corner next to it is empty.
int Evaluator::squareScore(const SearchBoard& board, index_t i) const {
    const index_t corner = m_corner[i];
    if (corner != INVALID_INDEX && isOpen(board.square(corner))) {
        return m_cornerPenalty[i];
    }
    return m_value[i];
}

// A free square next to a stone is a potential move of every player who does not own all the
// stones around it.
int Evaluator::potentialMoves(const SearchBoard& board, const SearchBoard::NearStones& near,
                              Player p) {
    return near.squares - near.ofOneColour[static_cast<unsigned>(board.colourOf(p))];
}

// After the build phase only stones and bombs still count.
int Evaluator::bombPhaseScore(const SearchBoard& board, Player root) const {
    std::array<int, 9> score{};
    for (unsigned p = 1; p <= board.players(); ++p) {
        const Player player = playerAt(p);
        score[p] = m_params.stonePoints * static_cast<int>(board.stones(player)) +
                   m_bombValue * static_cast<int>(board.bombs(player));
    }
    return againstStrongest(board, root, score.data());
}

// With three or more players, a player with few stones may be taken out by the next few
// captures and never come back. Every opponent moves between two of the player's own moves,
// so the stones that are safe enough grow with the opponents (survivalStones is the count
// for three of them).
int Evaluator::survivalScore(unsigned held, unsigned opponents) const {
    const int safe = m_params.survivalStones * static_cast<int>(opponents) / 3;
    const int missing = safe - static_cast<int>(held);
    return missing <= 0 ? 0 : -m_params.survivalPenalty * missing;
}

// An override stone in stock on the board's map (see SearchParams::overrideManyPercent). With
// two players a player left without stones has lost, so there it is only the capture it makes.
int Evaluator::overrideValueOn(const SearchBoard& board) const {
    if (board.players() < 3) {
        return m_params.overrideValue;
    }
    const long long limit = static_cast<long long>(m_params.overrideShareSquares) * board.players();
    const long long squares = std::max<long long>(board.nonHoles(), limit);
    return static_cast<int>(static_cast<long long>(m_params.overrideValue) *
                            m_params.overrideManyPercent * limit / (100 * squares));
}

int Evaluator::stockValue(const SearchBoard& board, Player p) const {
    return m_overrideValue * static_cast<int>(board.overrides(p)) +
           m_bombValue * static_cast<int>(board.bombs(p));
}

int Evaluator::againstStrongest(const SearchBoard& board, Player root, const int* score) {
    int strongest = -SearchParams::Infinity;
    for (unsigned p = 1; p <= board.players(); ++p) {
        if (playerAt(p) != root && !board.isDisqualified(playerAt(p))) {
            strongest = std::max(strongest, score[p]);
        }
    }
    const int own = score[static_cast<unsigned>(root)];
    return strongest == -SearchParams::Infinity ? own : own - strongest;
}

// Rank 1 + the number of opponents with more stones; disqualified players rank last.
int Evaluator::finalScore(const SearchBoard& board, Player root) const {
    const int own = static_cast<int>(board.stones(root));
    int strongest = -1;
    unsigned rank = 1;
    for (unsigned p = 1; p <= board.players(); ++p) {
        const Player player = playerAt(p);
        if (player == root || board.isDisqualified(player)) {
            continue;
        }
        const int theirs = static_cast<int>(board.stones(player));
        strongest = std::max(strongest, theirs);
        rank += theirs > own;
    }
    if (strongest < 0) {
        return SearchParams::WinScore + own;
    }
    const int margin = own - strongest;
    if (margin > 0) {
        return SearchParams::WinScore + margin;
    }
    if (board.players() == 2) {
        return margin == 0 ? 0 : -SearchParams::WinScore + margin;
    }
    return -SearchParams::WinScore +
           static_cast<int>(board.players() - rank) * SearchParams::RankStep + margin;
}

unsigned Evaluator::movesLeftBound(const SearchBoard& board) const {
    unsigned stones = 0;
    unsigned bombs = 0;
    unsigned overrides = 0;
    for (unsigned p = 1; p <= board.players(); ++p) {
        stones += board.stonesOfColour(static_cast<Square>(p));
        if (!board.isDisqualified(playerAt(p))) {
            bombs += board.bombs(playerAt(p));
            overrides += board.overrides(playerAt(p));
        }
    }
    if (board.phase() != GamePhase::BUILD) {
        return bombs;
    }
    return board.nonHoles() - std::min(stones, board.nonHoles()) + overrides + bombs;
}
