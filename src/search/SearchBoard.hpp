// The complete rules of a position, built for searching: moves are made and taken back through
// an undo log, the position hash and the stone counts are kept up to date on every change, and
// legal moves are found from candidate squares and precomputed rays. It plays exactly as the
// referee (Game with its GameBoard) does, turn engine included, yet is written apart from it,
// down to the step table BoardGeometry builds for itself instead of reading the referee's
// neighbourhood code: the two engines are each the other's test (tests/test_search_board.cpp
// and reversi-perft cross-check them), so that a fault in one shows against the other.
#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/GameTypes.hpp"
#include "common/Map.hpp"
#include "search/BoardGeometry.hpp"
#include "search/SquareMarks.hpp"

class Game;

// A move as the search keeps it: the board index, the choice (a player on a choice square,
// BOMB or OVERRIDE on a bonus square, NONE otherwise) and whether it is a bomb throw. Four
// bytes; the player is not part of it, since the board knows who moves.
struct SearchMove {
    index_t index = INVALID_INDEX;
    MoveChoice choice = MoveChoice::NONE;
    bool bomb = false;

    bool isValid() const { return index != INVALID_INDEX; }
    bool operator==(const SearchMove&) const = default;
};

// One position of one game on one map, with make/unmake. What a position is: the square
// contents, each player's bombs and override stones, the player/colour mapping, the
// disqualified players, the phase (BUILD, TERMINAL = bomb phase, FINAL), the player on turn and
// the move number. After each move the turn passes exactly as the turn engine passes it:
// players who cannot move (or are disqualified) are skipped, BUILD turns into TERMINAL when
// nobody can place a stone and TERMINAL into FINAL when nobody can throw a bomb.
//
// Moves handed to makeMove must be legal (taken from generateMoves or checked with isLegal);
// the board does not test them again. A board may be copied (for another thread, say); the
// fixed tables of the map are shared between the copies.
class SearchBoard {
public:
    // The start of the map: the position of a new Game on it.
    explicit SearchBoard(const Map& map);
    // The live position of a game, passive (a client's) or active, as it stands: after the
    // server forced the bomb phase, the player on turn may have no move although the game is
    // not over (generateMoves then returns none).
    explicit SearchBoard(const Game& game);
    // A further position on the same map as `other` (shares the tables): `other`'s current
    // position, without its undo history.
    SearchBoard(const SearchBoard& other);
    SearchBoard& operator=(const SearchBoard& other);
    SearchBoard(SearchBoard&&) noexcept = default;
    SearchBoard& operator=(SearchBoard&&) noexcept = default;

    // --- Geometry (fixed for the game) ---------------------------------------------------
    const BoardGeometry& geometry() const { return *m_geo; }
    unsigned width() const { return m_geo->width(); }
    unsigned height() const { return m_geo->height(); }
    // Number of board indices, width * height, holes included.
    unsigned size() const { return m_geo->size(); }
    index_t index(unsigned x, unsigned y) const { return m_geo->index(x, y); }
    unsigned x(index_t i) const { return m_geo->x(i); }
    unsigned y(index_t i) const { return m_geo->y(i); }
    // The neighbour of i in direction d through transitions, or INVALID_INDEX; the neighbour
    // may have become a hole since (look at square()).
    index_t neighbour(index_t i, Direction d) const { return m_geo->neighbour(i, d); }
    Direction continuation(index_t i, Direction d) const { return m_geo->continuation(i, d); }

    // --- The position ------------------------------------------------------------------------
    // Content of a square: EMPTY, a stone colour 1 ... 8 (see ownerOf), EXPANSION, INVERSION,
    // CHOICE, BONUS or NONE (a hole).
    Square square(index_t i) const { return m_squares[i]; }
    bool isHole(index_t i) const { return m_squares[i] == Square::NONE; }
    // A stone of any colour or an expansion square.
    bool isOccupied(index_t i) const { return occupied(m_squares[i]); }
    // Whether an inversion or choice square is still open: such squares hand stones around.
    bool hasSwapSquares() const;
    // The player who owns stones of colour c (1 ... 8) now, and the colour player p owns.
    Player ownerOf(Square c) const { return m_s.btop[static_cast<unsigned>(c)]; }
    Square colourOf(Player p) const { return m_s.ptob[static_cast<unsigned>(p)]; }
    // Number of players of the map (2 ... 8); players are 1 ... players().
    unsigned players() const { return m_geo->players(); }
    Player toMove() const { return m_s.turn; }
    GamePhase phase() const { return m_s.phase; }
    bool isFinal() const { return m_s.phase == GamePhase::FINAL; }
    bool isDisqualified(Player p) const {
        return (m_s.disqualified >> static_cast<unsigned>(p) & 1u) != 0;
    }
    unsigned validPlayers() const { return m_s.validPlayers; }
    // The stones player p owns now (through the colour mapping).
    unsigned stones(Player p) const { return m_s.counts[static_cast<unsigned>(colourOf(p))]; }
    // The stones of colour c (1 ... 8).
    unsigned stonesOfColour(Square c) const { return m_s.counts[static_cast<unsigned>(c)]; }
    unsigned bombs(Player p) const { return m_s.bombs[static_cast<unsigned>(p)]; }
    unsigned overrides(Player p) const { return m_s.overrides[static_cast<unsigned>(p)]; }
    // Squares that are not holes.
    unsigned nonHoles() const { return m_s.nonHoles; }
    // Bit d set when neighbour(i, d) may be occupied: exactly those on maps other than bitboard
    // maps, which keep these masks for move generation; all eight on bitboard maps.
    unsigned occupiedNeighbours(index_t i) const { return m_bitboards ? 0xFFu : m_adjacent[i]; }
    // Calls visit(i) for every occupied square (a stone or an expansion square), in index order.
    template <typename Visit>
    void forEachOccupied(Visit&& visit) const;
    // Calls visit(i) for every free square (empty or special) that may border an occupied one:
    // on bitboard maps every free square, on larger maps exactly the ones next to an occupied
    // square. An evaluation reads these instead of every square of a large, mostly empty map.
    template <typename Visit>
    void forEachFreeNearOccupied(Visit&& visit) const;

    // Stones next to free squares, by colour: what frontier stones and potential mobility are
    // counted from. A stone is a frontier stone when a free square has it as a neighbour.
    struct NearStones {
        // Frontier stones of colour c (1 ... 8).
        std::array<int, 9> frontier{};
        // Free squares next to a stone, and those next to stones of colour c only.
        int squares = 0;
        std::array<int, 9> ofOneColour{};
        bool operator==(const NearStones&) const = default;
    };
    // Counted from the squares next to stones, or, while trackNearStones is on (on maps other
    // than bitboard maps), kept up to date with every change. Tracking makes each flip dearer
    // and each evaluation far cheaper: an alpha-beta search evaluates every leaf and wants it,
    // the playouts of a tree search make many moves per evaluation and do not.
    NearStones nearStones() const;
    void trackNearStones(bool on);
    // The same counted from every square and direction (for tests).
    NearStones countNearStones() const;
    // Calls of makeMove since the start of the game, as the turn engine counts them.
    unsigned moveNumber() const { return m_s.moveNumber; }
    // Zobrist hash of squares, mapping, stocks, disqualifications, player on turn and phase.
    std::uint64_t hash() const { return m_s.hash; }
    // The hash computed from scratch (for tests; hash() is kept up to date incrementally).
    std::uint64_t computeHash() const;

    // --- Moves ---------------------------------------------------------------------------------
    // An upper bound on the moves of any position of this map: the size a buffer handed to
    // generateMoves must have.
    unsigned maxMoves() const { return m_maxMoves; }
    // The legal moves of player p in the current phase, in board index order and on a square
    // in ascending choice order (as the referee's generator reports them): on a choice square
    // one move per player 1 ... players(), on a bonus square BOMB then OVERRIDE, in the bomb
    // phase one bomb move per square that is not a hole. p may be any player, not only the one
    // on turn; a disqualified player and every player in FINAL have none. `out` must hold
    // maxMoves() entries; returns the number written.
    unsigned generateMoves(Player p, SearchMove* out) const;
    unsigned generateMoves(SearchMove* out) const { return generateMoves(m_s.turn, out); }
    // The same into a vector that is cleared first; its capacity is reused, so no allocation
    // happens once it has grown to maxMoves().
    void generateMoves(Player p, std::vector<SearchMove>& out) const;
    void generateMoves(std::vector<SearchMove>& out) const { generateMoves(m_s.turn, out); }
    // Number of legal moves of p with every variant counted (what generateMoves returns).
    unsigned countMoves(Player p) const;
    // Number of squares where p may move (variants not counted): mobility for evaluation.
    unsigned mobility(Player p) const;
    // Whether p has any legal move in the current phase; stops at the first one found.
    bool hasMove(Player p) const;
    // Whether p may make `move` now (any player; the choice must fit the square).
    bool isLegal(Player p, SearchMove move) const;

    // Makes a legal move of the player on turn and passes the turn on.
    void makeMove(SearchMove move) { makeMove(move, m_s.turn); }
    // Makes a legal move of player p, on turn or not: the turn is handed to p, the move is
    // made, and the turn passes on from p as after any move (what a passive game does with a
    // move out of turn). For best-reply search.
    void makeMove(SearchMove move, Player p);
    // Disqualifies p as the turn engine does (a player on turn loses the turn; with at most
    // one player left the game is over). Undone by unmakeMove like a move.
    void disqualify(Player p);
    // Takes back the last makeMove or disqualify; restores everything, hash included.
    void unmakeMove();
    // Number of moves that unmakeMove can take back.
    unsigned undoDepth() const { return m_undoDepth; }

    // --- Conversion and text -------------------------------------------------------------------
    // The protocol move of player p (default: the player on turn).
    Move toMove(SearchMove move, Player p) const;
    Move toMove(SearchMove move) const { return toMove(move, m_s.turn); }
    // The search move of a protocol move; INVALID index when the coordinates are off the board.
    SearchMove fromMove(const Move& move) const;
    // One character per square, one line per row: a stone as its owner's number, otherwise the
    // map character (0, x, i, c, b, -); the same text as GameBoard::asSimpleString.
    std::string asSimpleString() const;

private:
    // One square change of the undo log.
    struct Change {
        index_t index;
        Square old;
    };
    // Everything of a position but the squares and the candidate sets of the squares: a move
    // saves it whole, and taking the move back copies it back.
    struct State {
        std::uint64_t hash = 0;
        // Bitboard maps only: squares by content (colours 1 ... 8, expansion 9), the free and
        // the occupied squares, and the placements of the player on turn (while turnBitsValid).
        std::array<std::uint64_t, 10> colourBits{};
        std::uint64_t freeBits = 0;
        std::uint64_t occupiedBits = 0;
        std::uint64_t turnBits = 0;
        // Occupied squares by content: colours 1 ... 8, expansion squares in slot 9.
        std::array<std::uint32_t, 10> counts{};
        std::uint32_t nonHoles = 0;
        std::uint16_t moveNumber = 0;
        // Other maps: the player on turn has no placement on a square below this one.
        index_t scanStart = 0;
        std::array<Square, 9> ptob{};
        std::array<Player, 9> btop{};
        std::array<std::uint8_t, 9> bombs{};
        std::array<std::uint8_t, 9> overrides{};
        std::uint16_t disqualified = 0; // bit p for player p
        std::uint8_t validPlayers = 0;
        Player turn = Player::P_INVALID;
        GamePhase phase = GamePhase::BUILD;
        bool turnBitsValid = false;
    };
    struct Undo {
        State state;
        std::uint32_t changes; // first entry of the move in m_changes
    };

    // Up to this many stones, whether a player can place a stone is looked for from the stones.
    static constexpr unsigned FEW_STONES = 8;

    static constexpr bool occupied(Square s) {
        return static_cast<unsigned>(s) - 1u < 9u; // stones 1 ... 8 and EXPANSION 9
    }
    // Empty or special: where a stone may go without an override.
    static constexpr bool isFree(Square s) { return !occupied(s) && s != Square::NONE; }

    explicit SearchBoard(std::shared_ptr<const BoardGeometry> geometry);
    void initFromSquares();
    void occupancyChanged(index_t i, bool nowOccupied);
    void updateFrontier(index_t i);
    void setSquare(index_t i, Square value);
    void restoreSquare(index_t i, Square value);
    void setTurn(Player p, GamePhase phase);
    void setStock(std::array<std::uint8_t, 9>& stock, unsigned kind, Player p, unsigned value);
    void setMapping(const std::array<Square, 9>& ptob);
    void pushUndo();

    // Where a long line's walk stops: a distance of 0 when it found no square.
    struct TailEnd {
        unsigned distance = 0;
        Square square = Square::NONE;
    };
    TailEnd tailEnd(index_t start, unsigned d, Square colour) const;
    unsigned captureLength(index_t start, unsigned d, Square colour) const;
    unsigned tailCaptureLength(index_t start, unsigned d, Square colour) const;
    bool capturesFrom(index_t i, Square colour) const;
    bool squareLegal(index_t i, Square colour, bool canOverride) const;
    std::uint64_t placementBits(Player p) const;
    std::uint64_t turnPlacementBits(Player p) const;
    template <typename Visit>
    index_t forEachPlacement(Player p, index_t from, Visit&& visit) const;
    index_t firstPlacement(Player p) const;
    template <typename Weight>
    unsigned weightedMoves(Player p, std::uint64_t weighted, Weight weight) const;
    index_t scanStart(Player p) const;
    bool mayMove(Player p) const;
    bool placementFromStones(Player p) const;
    bool tailReachesFree(index_t start, unsigned d, Square colour) const;
    void updateColourSets(index_t i, Square old, Square now);
    void initNear();
    void nearChanged(index_t i, Square old, Square now);
    void freeChanged(index_t i, int step);
    void countNear(index_t j, int sign);
    bool canBomb(Player p) const;

    void placeStone(index_t i, Player p, MoveChoice choice);
    void flipLines(index_t i, Square colour);
    void flipBits(index_t i, Square colour);
    void flipLine(index_t start, unsigned d, unsigned count, Square colour);
    void flipSquare(index_t i, Square colour);
    void applySpecial(Square before, Player p, MoveChoice choice);
    void throwBomb(index_t target, Player p);
    void passTurn();
    bool findPlacements(Player p);

    std::shared_ptr<const BoardGeometry> m_geo;
    // The geometry's ray tables, read in the inner loops.
    const index_t* m_rays;
    const std::uint32_t* m_rayOffsets;
    const BoardGeometry::RayHead* m_rayHeads;
    bool m_bitboards;
    unsigned m_maxMoves = 0;
    // The squares, and two past the end the terminators of the rays (always holes).
    std::vector<Square> m_squares;
    // Maps other than bitboard maps: bit d set when neighbour(i, d) is occupied (and not i);
    // the squares that are free, not holes and next to an occupied square (the only places for
    // a stone without an override); the occupied squares (candidates of override moves).
    std::vector<std::uint8_t> m_adjacent;
    std::vector<std::uint64_t> m_frontier;
    std::vector<std::uint64_t> m_occupiedSet;
    // Maps other than bitboard maps: the occupied squares by content (colours 1 ... 8,
    // expansion 9), m_frontier.size() words each.
    std::vector<std::uint64_t> m_colourSets;
    // Maps other than bitboard maps, for nearStones(): per free square four bits per colour c
    // (from bit 4 * (c - 1)) counting its neighbours that hold a stone of colour c, per square
    // the free squares that have it as a neighbour; the totals over the board.
    std::vector<std::uint32_t> m_stoneNeighbours;
    std::vector<std::uint8_t> m_freeAround;
    NearStones m_near;
    bool m_trackNear = false;
    // Scratch of nearStones() without tracking: the stones it found next to a free square.
    mutable SquareMarks m_nearMarks;
    State m_s;
    std::vector<Change> m_changes;
    // The undo records of the moves made; entries from m_undoDepth on are spare, kept so that
    // making a move copies the state once and allocates nothing.
    std::vector<Undo> m_history;
    unsigned m_undoDepth = 0;
    // Scratch space of a bomb blast: the squares of the levels being spread.
    std::vector<index_t> m_queue;
};

namespace search_detail {

// Calls visit(i) for every set bit i of the bit set of `count` words.
template <typename Visit>
void forEachBit(const std::uint64_t* words, std::size_t count, Visit&& visit) {
    for (std::size_t w = 0; w < count; ++w) {
        for (std::uint64_t bits = words[w]; bits != 0; bits &= bits - 1) {
            visit(static_cast<index_t>(w * 64 + static_cast<unsigned>(std::countr_zero(bits))));
        }
    }
}

} // namespace search_detail

template <typename Visit>
void SearchBoard::forEachOccupied(Visit&& visit) const {
    const bool small = m_bitboards;
    search_detail::forEachBit(small ? &m_s.occupiedBits : m_occupiedSet.data(),
                              small ? 1 : m_occupiedSet.size(), visit);
}

template <typename Visit>
void SearchBoard::forEachFreeNearOccupied(Visit&& visit) const {
    const bool small = m_bitboards;
    search_detail::forEachBit(small ? &m_s.freeBits : m_frontier.data(),
                              small ? 1 : m_frontier.size(), visit);
}
