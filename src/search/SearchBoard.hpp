// The complete rules of a position, built for searching: moves are made and taken back through
// an undo log, the position hash and the stone counts are kept up to date on every change, and
// legal moves are found from candidate squares and precomputed rays. It plays exactly as the
// referee (Game with its GameBoard) does, turn engine included.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/GameTypes.hpp"
#include "common/Map.hpp"
#include "search/BoardGeometry.hpp"

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
    // The live position of a game, passive (a client's) or active.
    explicit SearchBoard(const Game& game);
    // A further position on the same map as `other` (shares the tables): `other`'s current
    // position, without its undo history.
    SearchBoard(const SearchBoard& other);
    SearchBoard& operator=(const SearchBoard& other);

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
    // The player who owns stones of colour c (1 ... 8) now, and the colour player p owns.
    Player ownerOf(Square c) const { return m_btop[static_cast<unsigned>(c)]; }
    Square colourOf(Player p) const { return m_ptob[static_cast<unsigned>(p)]; }
    // Number of players of the map (2 ... 8); players are 1 ... players().
    unsigned players() const { return m_geo->players(); }
    Player toMove() const { return m_turn; }
    GamePhase phase() const { return m_phase; }
    bool isFinal() const { return m_phase == GamePhase::FINAL; }
    bool isDisqualified(Player p) const { return m_disqualified[static_cast<unsigned>(p)]; }
    unsigned validPlayers() const { return m_validPlayers; }
    // The stones player p owns now (through the colour mapping).
    unsigned stones(Player p) const { return m_counts[static_cast<unsigned>(colourOf(p))]; }
    // The stones of colour c (1 ... 8).
    unsigned stonesOfColour(Square c) const { return m_counts[static_cast<unsigned>(c)]; }
    unsigned bombs(Player p) const { return m_bombs[static_cast<unsigned>(p)]; }
    unsigned overrides(Player p) const { return m_overrides[static_cast<unsigned>(p)]; }
    // Squares that are not holes.
    unsigned nonHoles() const { return m_nonHoles; }
    // Calls of makeMove since the start of the game, as the turn engine counts them.
    unsigned moveNumber() const { return m_moveNumber; }
    // Zobrist hash of squares, mapping, stocks, disqualifications, player on turn and phase.
    std::uint64_t hash() const { return m_hash; }
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
    unsigned generateMoves(SearchMove* out) const { return generateMoves(m_turn, out); }
    // The same into a vector that is cleared first; its capacity is reused, so no allocation
    // happens once it has grown to maxMoves().
    void generateMoves(Player p, std::vector<SearchMove>& out) const;
    void generateMoves(std::vector<SearchMove>& out) const { generateMoves(m_turn, out); }
    // Number of legal moves of p with every variant counted (what generateMoves returns).
    unsigned countMoves(Player p) const;
    // Number of squares where p may move (variants not counted): mobility for evaluation.
    unsigned mobility(Player p) const;
    // Whether p has any legal move in the current phase; stops at the first one found.
    bool hasMove(Player p) const;
    // Whether p may make `move` now (any player; the choice must fit the square).
    bool isLegal(Player p, SearchMove move) const;

    // Makes a legal move of the player on turn and passes the turn on.
    void makeMove(SearchMove move) { makeMove(move, m_turn); }
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
    unsigned undoDepth() const { return static_cast<unsigned>(m_history.size()); }

    // --- Conversion and text -------------------------------------------------------------------
    // The protocol move of player p (default: the player on turn).
    Move toMove(SearchMove move, Player p) const;
    Move toMove(SearchMove move) const { return toMove(move, m_turn); }
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
    // What unmakeMove restores besides the squares.
    struct Undo {
        std::uint64_t hash;
        std::uint32_t changes; // first entry of this move in m_changes
        std::uint16_t moveNumber;
        Player turn;
        GamePhase phase;
        Player mover;
        std::uint8_t moverBombs;
        std::uint8_t moverOverrides;
        std::uint8_t validPlayers;
        std::uint8_t disqualifiedMask;
        std::array<Square, 9> ptob;
    };

    static constexpr bool occupied(Square s) {
        return static_cast<unsigned>(s) - 1u < 9u; // stones 1 ... 8 and EXPANSION 9
    }

    explicit SearchBoard(std::shared_ptr<const BoardGeometry> geometry);
    void initFromSquares();
    void occupancyChanged(index_t i, bool nowOccupied);
    void updateFrontier(index_t i);
    void setSquare(index_t i, Square value);
    void writeSquare(index_t i, Square value);
    void setTurn(Player p, GamePhase phase);
    void setStock(std::array<std::uint8_t, 9>& stock, unsigned kind, Player p, unsigned value);
    void setMapping(const std::array<Square, 9>& ptob);
    void pushUndo(Player mover);

    unsigned captureLength(index_t start, unsigned d, Square colour) const;
    unsigned tailCaptureLength(index_t start, const BoardGeometry::Ray& ray, Square colour) const;
    bool capturesFrom(index_t i, Square colour) const;
    bool squareLegal(index_t i, Square colour, bool canOverride) const;
    template <typename Visit>
    bool forEachPlacement(Player p, Visit&& visit) const;
    bool hasPlacement(Player p) const;
    bool mayMove(Player p) const;
    unsigned variants(index_t i) const;
    bool canPlace(Player p) const;
    bool canBomb(Player p) const;

    void placeStone(index_t i, Player p, MoveChoice choice);
    void flipLine(index_t start, unsigned d, unsigned count, Square colour);
    void applySpecial(Square before, Player p, MoveChoice choice);
    void throwBomb(index_t target, Player p);
    void passTurn();

    std::shared_ptr<const BoardGeometry> m_geo;
    std::vector<Square> m_squares;
    // Bit d set: neighbour(i, d) is occupied (and not i itself).
    std::vector<std::uint8_t> m_adjacent;
    // Squares that are not occupied, not holes and have an occupied neighbour: the only places
    // where a stone can be placed without an override.
    std::vector<std::uint64_t> m_frontier;
    // Occupied squares: the candidates of override moves.
    std::vector<std::uint64_t> m_occupiedSet;
    std::array<std::uint32_t, 9> m_counts{};
    std::array<Square, 9> m_ptob{};
    std::array<Player, 9> m_btop{};
    std::array<std::uint8_t, 9> m_bombs{};
    std::array<std::uint8_t, 9> m_overrides{};
    std::array<bool, 9> m_disqualified{};
    unsigned m_validPlayers = 0;
    unsigned m_nonHoles = 0;
    unsigned m_maxMoves = 0;
    Player m_turn = Player::P_INVALID;
    GamePhase m_phase = GamePhase::BUILD;
    std::uint16_t m_moveNumber = 0;
    std::uint64_t m_hash = 0;
    std::vector<Change> m_changes;
    std::vector<Undo> m_history;
    // Scratch space of a bomb blast: the squares of the level being spread.
    std::vector<index_t> m_queue;
};
