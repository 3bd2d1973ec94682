// The mutable playing surface of one game: square contents, stocks, stone counts, the
// player/colour mapping and the precomputed step tables that every line walk reads. It is
// written apart from the search board (SearchBoard in src/search/), so that the tests that
// cross-check the two rules engines catch a fault in either.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "common/GameTypes.hpp"
#include "common/Map.hpp"

// The board of one game, built once from a map that must outlive it. It knows nothing of
// turns or phases and never logs: a rule violation is a false result. Check mode (apply false)
// never changes the board; apply mode tests in the same order and changes the board only
// after every test passed. Square contents change only through set_square, which keeps the
// stone counts and the non-hole count up to date.
class GameBoard {
public:
    // Per-player stocks and per-colour stone counts; slot 0 belongs to nobody.
    struct GameBoardState {
        std::array<std::uint8_t, 9> player_bombs{};
        std::array<std::uint8_t, 9> override_stones{};
        std::array<std::uint32_t, 9> stoneCount{};
    };

    explicit GameBoard(const Map& map);
    GameBoard(const GameBoard&) = delete;
    GameBoard& operator=(const GameBoard&) = delete;
    virtual ~GameBoard();

    // Places a stone of `player` at `index` (captures, overrides, special squares).
    virtual bool makeMove(Player player, index_t index, MoveChoice choice, bool apply);
    // True when the player has at least one legal placement, overrides included.
    bool move_possible(Player player) const;
    // Whether `choice` fits the square at `index`: BOMB/OVERRIDE on a bonus square, a player
    // 1 ... nplayers on a choice square, NONE everywhere else.
    bool checkChoice(index_t index, MoveChoice choice) const;

    // Throws a bomb of `player` at `index`: the target and everything within the bomb power
    // becomes a hole.
    bool throwBomb(Player player, index_t index, bool apply);
    // True when the player has a bomb left and some square is not yet a hole.
    bool bomb_possible(Player player) const;

    index_t coords2index(std::uint16_t x, std::uint16_t y) const;
    bool index2coords(index_t index, std::uint16_t& x, std::uint16_t& y) const;
    index_t get_transition(index_t index, Direction d) const {
        return transitions[index * 8u + static_cast<unsigned>(d)];
    }
    Direction get_nextdirection(index_t index, Direction d) const {
        return next_transitions[index * 8u + static_cast<unsigned>(d)];
    }
    bool valid_index(index_t index) const { return index < boardsize; }

    void disqualify(Player p);
    const Square& get_square(index_t index) const { return squares[index]; }
    // The choice a move on this square carries unless the player picks another: the first
    // player on a choice square, a bomb on a bonus square, none elsewhere.
    MoveChoice defaultChoice(index_t index) const;
    // A stone of any colour or an expansion square.
    bool occupied(index_t index) const {
        const Square s = squares[index];
        return isStone(s) || s == Square::EXPANSION;
    }
    // True when the square holds a stone of a player who is not disqualified.
    bool occupiedByPlayer(index_t index) const;
    // The stone counts indexed by colour 1 ... 8 (slot 0 unused).
    const std::uint32_t* getBoardCounts() const { return state.stoneCount.data(); }
    const Map& getMap() const { return m_map; }

    // Rendering; implemented in GameBoardRender.cpp.
    std::string asString(Player currentPlayer, bool showValidMoves, bool printAxis) const;
    std::string asSimpleString() const;
    std::string playerStatus() const;

    std::uint8_t getBombs(Player p) const { return state.player_bombs[idx(p)]; }
    std::uint8_t getOverrides(Player p) const { return state.override_stones[idx(p)]; }
    bool getDisqualified(Player p) const { return player_disqualified[idx(p)]; }
    // The stones of the colour that p owns now.
    unsigned getStoneCount(Player p) const { return state.stoneCount[idx(ptob(p))]; }
    // The stone colour that p owns now (p 1 ... 8): what a copy of the position needs besides
    // the squares, since inversion and choice squares change it.
    Square colourOf(Player p) const { return isPlayerSlot(p) ? ptob(p) : Square::EMPTY; }

    std::uint32_t getBoardSize() const { return boardsize; }
    std::uint32_t getReducedBoardSize() const { return reducedboardsize; }

protected:
    // One pending walk of testPathBfs: the square reached and the direction it goes on in.
    struct CaptureItem {
        index_t index;
        Direction direction;
    };

    static constexpr std::array<Direction, 8> AllDirections{
        Direction::N, Direction::NE, Direction::E, Direction::SE,
        Direction::S, Direction::SW, Direction::W, Direction::NW};

    template <typename E>
    static constexpr std::size_t idx(E value) {
        return static_cast<std::size_t>(value);
    }

    void linkGrid();
    std::size_t get_nplayers() const { return nplayers; }
    Square ptob(Player p) const { return ptob_map[idx(p)]; }
    Player btop(Square s) const { return btop_map[idx(s)]; }
    void set_square(index_t index, Square value);
    void set_transition(index_t source, Direction d, index_t target, Direction back);

    std::uint8_t& bombs(Player p) { return state.player_bombs[idx(p)]; }
    std::uint8_t& overrides(Player p) { return state.override_stones[idx(p)]; }
    bool& disqualified(Player p) { return player_disqualified[idx(p)]; }

    void inversion();
    void swap_players(Player left, Player right);
    bool checkCapture(Player player, index_t index, bool apply);
    bool nextToOtherStone(index_t index, Square boardPlayer) const;
    // A square a line from `start` passes over: on the board, not the start itself, and
    // holding another colour or an expansion square.
    bool passesOver(index_t square, index_t start, Square boardPlayer) const {
        return square != INVALID_INDEX && square != start && occupied(square) &&
               squares[square] != boardPlayer;
    }
    bool capturePath(index_t index, Direction direction, Square boardPlayer, bool apply,
                     std::vector<index_t>& captured) const;
    bool testPathBfs(index_t first_index, Square boardPlayer) const;

    void rec_bomb(index_t index, int power, int* visited);

    // Writes one square: its colour, then its character (a stone as its owner's number).
    void printSquare(std::ostream& os, Square square, bool reset) const;

    const Map& m_map;
    std::uint16_t width;
    std::uint16_t height;
    std::uint32_t boardsize;
    std::uint32_t reducedboardsize = 0;
    std::uint8_t nplayers;
    Player lastPlayer;
    std::uint8_t bomb_power;
    std::unique_ptr<index_t[]> transitions;
    std::unique_ptr<Direction[]> next_transitions;
    std::unique_ptr<Square[]> squares;
    GameBoardState state;
    std::array<Square, 9> ptob_map{};
    std::array<Player, 9> btop_map{};
    std::array<bool, 9> player_disqualified{};

private:
    // A player number that may index the per-player arrays: 1 ... 8.
    static bool isPlayerSlot(Player p) { return p >= Player::P1 && p <= Player::P_MAX; }
    // The breadth-first blast of throwBomb from `index` with radius bomb_power.
    void blast(index_t index);
    void applySpecialSquare(Player player, Square currentValue, MoveChoice choice);
};
