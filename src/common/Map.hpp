// The map vocabulary: square contents, the eight directions and the index types.
#pragma once

#include <cstdint>
#include <istream>
#include <ostream>

// Index of a board square, x + y * width; INVALID_INDEX stands for no square.
using index_t = std::uint16_t;
constexpr index_t INVALID_INDEX = 65535;

// A map coordinate, an x (column) or a y (row).
using map_axis = std::uint32_t;

// The content of one cell of a map or a board. Values 1 ... 8 are stones.
enum class Square : std::uint8_t {
    EMPTY = 0,
    PLAYER1 = 1,
    PLAYER_MAX = 8,
    EXPANSION = 9,
    INVERSION = 10,
    CHOICE = 11,
    BONUS = 12,
    NONE = 255,
};

// The eight directions clockwise from north; y grows towards the south.
enum class Direction : std::uint8_t {
    N = 0,
    NE = 1,
    E = 2,
    SE = 3,
    S = 4,
    SW = 5,
    W = 6,
    NW = 7,
    FIRST = 0,
    LAST = 7,
};

// The opposite direction: N <-> S, NE <-> SW, E <-> W, SE <-> NW.
constexpr Direction getBackDirection(Direction d) {
    return static_cast<Direction>((static_cast<unsigned>(d) + 4) % 8);
}

// Writes the map character of a square: 0, 1 ... 8, x, i, c, b or -.
std::ostream& operator<<(std::ostream& os, Square square);
// Reads one square in map notation; adjacent stones need white space between them.
std::istream& operator>>(std::istream& is, Square& square);
std::ostream& operator<<(std::ostream& os, Direction direction);
// Reads a direction number 0 ... 7.
std::istream& operator>>(std::istream& is, Direction& direction);

// Reads an unsigned decimal number made of digits only: a sign, a missing digit or a value
// above `max` sets the fail state and leaves `value` unchanged. Leading white space is skipped
// when the stream skips white space.
std::istream& readUnsigned(std::istream& is, std::uint64_t& value, std::uint64_t max = UINT64_MAX);
