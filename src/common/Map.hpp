// The map vocabulary (square contents, the eight directions, the index types), the transitions
// that join edges of the playable area, and the map itself with its text reader and writer.
#pragma once

#include <cstdint>
#include <istream>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "logcraft/level.hpp"

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

// True for the squares that hold a player's stone, 1 ... 8.
constexpr bool isStone(Square s) {
    return s >= Square::PLAYER1 && s <= Square::PLAYER_MAX;
}

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

// The grid step of each direction, in Direction order: x grows to the east, y to the south.
inline constexpr int STEP_X[8] = {0, 1, 1, 1, 0, -1, -1, -1};
inline constexpr int STEP_Y[8] = {-1, -1, 0, 1, 1, 1, 0, -1};

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

class Map;

// Whether a map file could be opened and, when it could, whether it holds a valid map.
enum class MapLoad { CANNOT_OPEN, INVALID, VALID };

// One transition joins two ends on the rim of the playable area: a line leaving (xStart, yStart)
// through side dStart goes on at (xEnd, yEnd) moving away from side dEnd, and the other way round.
// m_isValid only tells a transition built from six values from a default-constructed one.
class Transition {
public:
    Transition() = default;
    Transition(map_axis xStart, map_axis yStart, Direction dStart, map_axis xEnd, map_axis yEnd,
               Direction dEnd);

    // Both ends lie on the map and face its outside or a hole; logs the reasons when not.
    bool isValid(const Map& map) const;
    // True when an end of this transition equals an end of the other one.
    bool sharesNeightbour(const Transition& other) const;

    map_axis m_xStart = 0;
    map_axis m_yStart = 0;
    Direction m_dStart = Direction::N;
    map_axis m_xEnd = 0;
    map_axis m_yEnd = 0;
    Direction m_dEnd = Direction::N;
    bool m_isValid = false;
};

// Writes "x1 y1 d1 <-> x2 y2 d2" without a line end.
std::ostream& operator<<(std::ostream& os, const Transition& transition);

// The static description of a game, read from the map text and then only read. The tile array is
// either absent or holds exactly width x height squares; a map is not copied, since the board and
// the game refer to it.
class Map {
public:
    static constexpr std::uint32_t MAX_WIDTH = 50;
    static constexpr std::uint32_t MAX_HEIGHT = 50;
    static constexpr std::uint32_t MAX_OVERRIDE = 255;
    static constexpr std::uint32_t MAX_BOMBS = 255;
    static constexpr std::uint32_t MAX_BOMB_RADIUS = 255;
    static constexpr std::int32_t NR_TILE_TYPE = 14;
    static constexpr char VALID_TILES[NR_TILE_TYPE] = {'0', '1', '2', '3', '4', '5', '6',
                                                       '7', '8', 'x', 'i', 'c', 'b', '-'};

    Map();
    virtual ~Map();
    Map(const Map&) = delete;
    Map& operator=(const Map&) = delete;

    // Reads the file ("-" is standard input) and names the map after the path. A file that
    // cannot be opened is logged as "Cannot open map PATH: REASON" and leaves the squares,
    // transitions and figures of the map as they were.
    MapLoad readFile(const std::string& path);
    bool loadFromFile(const std::string& path) { return readFile(path) == MapLoad::VALID; }
    bool loadFromString(const std::string& text);

    void setName(const std::string& name) { m_name = name; }
    std::string getName() const { return m_name; }

    bool isValid() const { return m_isValid; }
    std::uint32_t getPlayers() const { return m_players; }
    std::uint32_t getOverrides() const { return m_overrides; }
    std::uint32_t getBombs() const { return m_bombs; }
    std::uint32_t getBombStrength() const { return m_bombStrength; }
    map_axis getHeight() const { return m_height; }
    map_axis getWidth() const { return m_width; }
    // Row-major: the square at column x, row y is entry y * width + x.
    const Square* getTiles() const { return m_tiles.get(); }
    std::vector<Transition> getTransitions() const { return m_transitions; }
    std::uint32_t getTotalTiles() const;
    std::uint32_t getPlayableTiles() const { return m_playable; }

    // NONE for any position off the map.
    Square getTile(map_axis x, map_axis y) const;
    // The square one step away, NONE when the step leaves the map; transitions are not followed.
    Square getDirectNeighbour(map_axis x, map_axis y, Direction d) const;
    // True when (x, y) is the square of an end of any transition.
    bool affectedByTransition(map_axis x, map_axis y) const;
    // Reads one transition; `out` changes only on success. A clean end of the text gives false
    // without a message.
    bool readTransition(std::istream& is, Transition& out) const;

    friend std::istream& operator>>(std::istream& is, Map& map);
    friend std::ostream& operator<<(std::ostream& os, const Map& map);

private:
    enum class TransitionRead { READ, END, FAILED };

    bool readFrom(std::istream& is);
    TransitionRead readTransitionItem(std::istream& is, Transition& out) const;
    bool checkHeader() const;
    bool hasValidDimensions() const;
    bool readTiles(std::istream& is, std::uint32_t& bonusTiles);
    bool checkBonusSums(std::uint32_t bonusTiles) const;
    bool readTransitions(std::istream& is);
    bool checkDuplicateEnds() const;

    bool m_isValid = false;
    std::string m_name = "default";
    std::uint32_t m_players = 0;
    std::uint32_t m_overrides = 0;
    std::uint32_t m_bombs = 0;
    std::uint32_t m_bombStrength = 0;
    map_axis m_height = 0;
    map_axis m_width = 0;
    std::uint32_t m_playable = 0;
    std::unique_ptr<Square[]> m_tiles;
    std::vector<Transition> m_transitions;
};

// Reads and checks a map, logging every problem on "reversi.map"; the result is in isValid().
std::istream& operator>>(std::istream& is, Map& map);
// Writes the map text: header lines, one line per row, one line per transition.
std::ostream& operator<<(std::ostream& os, const Map& map);

// The map a program is run on: readFile, and for a file that opens but is no valid map one
// line "Invalid map PATH. aborting." on the program's own logger. True for a valid map.
bool readProgramMap(Map& map, const std::string& path, const logcraft::LogPtr& logger);
