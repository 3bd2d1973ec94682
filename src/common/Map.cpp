#include "common/Map.hpp"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <sstream>

#include "common/Logging.hpp"

std::istream& readUnsigned(std::istream& is, std::uint64_t& value, std::uint64_t max) {
    std::istream::sentry sentry(is);
    if (!sentry) {
        return is;
    }
    if (!std::isdigit(is.peek())) {
        is.setstate(std::ios::failbit);
        return is;
    }
    std::uint64_t result = 0;
    bool overflow = false;
    while (std::isdigit(is.peek())) {
        const auto digit = static_cast<std::uint64_t>(is.get() - '0');
        if (digit > max || result > (max - digit) / 10) {
            overflow = true;
        } else {
            result = result * 10 + digit;
        }
    }
    if (overflow) {
        is.setstate(std::ios::failbit);
    } else {
        value = result;
    }
    return is;
}

std::ostream& operator<<(std::ostream& os, Square square) {
    switch (square) {
    case Square::EMPTY:
        return os << '0';
    case Square::EXPANSION:
        return os << 'x';
    case Square::INVERSION:
        return os << 'i';
    case Square::CHOICE:
        return os << 'c';
    case Square::BONUS:
        return os << 'b';
    case Square::NONE:
        return os << '-';
    default:
        return os << static_cast<unsigned>(square);
    }
}

std::istream& operator>>(std::istream& is, Square& square) {
    std::istream::sentry sentry(is);
    if (!sentry) {
        return is;
    }
    const int c = is.get();
    switch (c) {
    case '-':
        square = Square::NONE;
        return is;
    case '0':
        square = Square::EMPTY;
        return is;
    case 'b':
        square = Square::BONUS;
        return is;
    case 'c':
        square = Square::CHOICE;
        return is;
    case 'i':
        square = Square::INVERSION;
        return is;
    case 'x':
        square = Square::EXPANSION;
        return is;
    default:
        break;
    }
    if (c >= '1' && c <= '9') {
        is.unget();
        std::uint64_t number = 0;
        if (readUnsigned(is, number) && number >= 1 && number <= 8) {
            square = static_cast<Square>(number);
            return is;
        }
    }
    is.setstate(std::ios::failbit);
    return is;
}

std::ostream& operator<<(std::ostream& os, Direction direction) {
    return os << static_cast<unsigned>(direction);
}

std::istream& operator>>(std::istream& is, Direction& direction) {
    std::uint64_t number = 0;
    if (readUnsigned(is, number) && number <= 7) {
        direction = static_cast<Direction>(number);
    } else {
        is.setstate(std::ios::failbit);
    }
    return is;
}

namespace {

// Reads one header number; a value beyond 32 bits fails the stream.
std::uint32_t readHeaderNumber(std::istream& is) {
    std::uint64_t value = 0;
    readUnsigned(is, value, UINT32_MAX);
    return static_cast<std::uint32_t>(value);
}

// One coordinate of a transition: 32 bits at most, anything else is a reading error.
bool readAxis(std::istream& is, map_axis& axis) {
    std::uint64_t value = 0;
    if (!readUnsigned(is, value, UINT32_MAX)) {
        return false;
    }
    axis = static_cast<map_axis>(value);
    return true;
}

// The separator is a white-space delimited word; reading at most four characters keeps a long
// word from growing a large string and still tells "<->" from anything longer.
bool readSeparator(std::istream& is) {
    std::string word;
    is >> std::setw(4) >> word;
    return is && word == "<->";
}

// Reads x, y and direction of one transition end, logging the first item that fails.
bool readEnd(std::istream& is, map_axis& x, map_axis& y, Direction& d, const char* which) {
    if (!readAxis(is, x)) {
        LOG(loggerMap, ERR) << "Transition x coordinate " << which << " invalid";
        return false;
    }
    if (!readAxis(is, y)) {
        LOG(loggerMap, ERR) << "Transition y coordinate " << which << " invalid";
        return false;
    }
    if (!(is >> d)) {
        LOG(loggerMap, ERR) << "Transition direction " << which << " invalid";
        return false;
    }
    return true;
}

} // namespace

Map::Map() = default;
Map::~Map() = default;

// A folder opens as a stream on this system and only fails when read, so it is named as what
// it is before anything is read.
MapLoad Map::readFile(const std::string& path) {
    m_name = path;
    if (path == "-") {
        return readFrom(std::cin) ? MapLoad::VALID : MapLoad::INVALID;
    }
    std::error_code ignored;
    const bool folder = std::filesystem::is_directory(path, ignored);
    std::ifstream file;
    errno = 0;
    if (!folder) {
        file.open(path);
    }
    if (!file.is_open()) {
        const int reason = folder ? EISDIR : errno;
        LOG(loggerMap, ERR) << "Cannot open map " << path << ": "
                            << (reason != 0 ? std::strerror(reason) : "unknown reason");
        return MapLoad::CANNOT_OPEN;
    }
    return readFrom(file) ? MapLoad::VALID : MapLoad::INVALID;
}

bool readProgramMap(Map& map, const std::string& path, const logcraft::LogPtr& logger) {
    const MapLoad load = map.readFile(path);
    if (load == MapLoad::INVALID) {
        LOG(logger, FATAL) << "Invalid map " << path << ". aborting.";
    }
    return load == MapLoad::VALID;
}

bool Map::loadFromString(const std::string& text) {
    std::istringstream stream(text);
    return readFrom(stream);
}

// A stream that cannot be read leaves the map as it was, so the answer must not be the
// validity of an earlier read.
bool Map::readFrom(std::istream& is) {
    const bool readable = is.good();
    is >> *this;
    return readable && m_isValid;
}

std::uint32_t Map::getTotalTiles() const {
    return m_tiles ? m_height * m_width : 0;
}

Square Map::getTile(map_axis x, map_axis y) const {
    if (!m_tiles || x >= m_width || y >= m_height) {
        return Square::NONE;
    }
    return m_tiles[static_cast<std::size_t>(y) * m_width + x];
}

// The step is computed in 64 bits so that neither 0 - 1 nor 4294967295 + 1 wraps onto the map.
Square Map::getDirectNeighbour(map_axis x, map_axis y, Direction d) const {
    const auto dir = static_cast<unsigned>(d);
    if (dir > 7 || x >= m_width || y >= m_height) {
        return Square::NONE;
    }
    const std::int64_t nx = std::int64_t{x} + STEP_X[dir];
    const std::int64_t ny = std::int64_t{y} + STEP_Y[dir];
    if (nx < 0 || ny < 0) {
        return Square::NONE;
    }
    return getTile(static_cast<map_axis>(nx), static_cast<map_axis>(ny));
}

bool Map::affectedByTransition(map_axis x, map_axis y) const {
    for (const Transition& t : m_transitions) {
        if ((t.m_xStart == x && t.m_yStart == y) || (t.m_xEnd == x && t.m_yEnd == y)) {
            return true;
        }
    }
    return false;
}

bool Map::readTransition(std::istream& is, Transition& out) const {
    return readTransitionItem(is, out) == TransitionRead::READ;
}

// Tells a clean end of the list (end of input or SUB before the first number) from a
// transition that could not be read, which is an error wherever it stands in the text.
Map::TransitionRead Map::readTransitionItem(std::istream& is, Transition& out) const {
    if (!is.good()) {
        return TransitionRead::END;
    }
    is >> std::skipws >> std::ws;
    const int next = is.peek();
    if (next == std::char_traits<char>::eof()) {
        return TransitionRead::END;
    }
    if (next == 26) {
        is.setstate(std::ios::eofbit);
        return TransitionRead::END;
    }
    Transition read;
    if (!readEnd(is, read.m_xStart, read.m_yStart, read.m_dStart, "1")) {
        return TransitionRead::FAILED;
    }
    if (!readSeparator(is)) {
        LOG(loggerMap, ERR) << "Transition separator invalid";
        return TransitionRead::FAILED;
    }
    if (!readEnd(is, read.m_xEnd, read.m_yEnd, read.m_dEnd, "2")) {
        return TransitionRead::FAILED;
    }
    out = Transition(read.m_xStart, read.m_yStart, read.m_dStart, read.m_xEnd, read.m_yEnd,
                     read.m_dEnd);
    return TransitionRead::READ;
}

// All header checks are made and reported; true when none failed.
bool Map::checkHeader() const {
    bool ok = true;
    if (m_players < 2 || m_players > 8) {
        LOG(loggerMap, ERR) << "Invalid number of players: " << m_players;
        ok = false;
    }
    if (m_overrides > MAX_OVERRIDE) {
        LOG(loggerMap, ERR) << "Invalid number of overrides: " << m_overrides;
        ok = false;
    }
    if (m_bombs > MAX_BOMBS) {
        LOG(loggerMap, ERR) << "Invalid number of bombs: " << m_bombs;
        ok = false;
    }
    if (m_bombStrength > MAX_BOMB_RADIUS) {
        LOG(loggerMap, ERR) << "Invalid bomb strength: " << m_bombStrength;
        ok = false;
    }
    if (!hasValidDimensions()) {
        LOG(loggerMap, ERR) << "Invalid map dimensions: (" << m_height << " x " << m_width << ")";
        ok = false;
    }
    return ok;
}

bool Map::hasValidDimensions() const {
    return m_height >= 1 && m_height <= MAX_HEIGHT && m_width >= 1 && m_width <= MAX_WIDTH;
}

// Reads the grid row by row into a fresh array whose squares all start as holes, so that no
// square is left undefined when the grid breaks off. Returns false if any square failed.
bool Map::readTiles(std::istream& is, std::uint32_t& bonusTiles) {
    m_tiles = std::make_unique<Square[]>(std::size_t{m_width} * m_height);
    std::fill_n(m_tiles.get(), std::size_t{m_width} * m_height, Square::NONE);
    bool ok = true;
    for (map_axis y = 0; y < m_height; ++y) {
        for (map_axis x = 0; x < m_width; ++x) {
            Square square = Square::NONE;
            if (!(is >> square)) {
                LOG(loggerMap, ERR) << "Invalid tile at (" << x << ", " << y << ")";
                ok = false;
                continue;
            }
            m_tiles[std::size_t{y} * m_width + x] = square;
            bonusTiles += square == Square::BONUS ? 1 : 0;
            m_playable += square != Square::NONE ? 1 : 0;
        }
    }
    return ok;
}

// The stocks of bombs and override stones are 8-bit counters, and every bonus square can add one.
bool Map::checkBonusSums(std::uint32_t bonusTiles) const {
    bool ok = true;
    const std::uint64_t bombSum = std::uint64_t{bonusTiles} + m_bombs;
    if (bombSum > 255) {
        LOG(loggerMap, ERR) << "Sum of bonus-fields and bombs too large: " << bombSum;
        ok = false;
    }
    const std::uint64_t overrideSum = std::uint64_t{bonusTiles} + m_overrides;
    if (overrideSum > 255) {
        LOG(loggerMap, ERR) << "Sum of bonus-fields and overrides too large: " << overrideSum;
        ok = false;
    }
    return ok;
}

// Reads the transitions up to a clean end. Each valid one is kept; the list may hold at most
// four per square (eight sides, two ends each) without a shared end, so reading stops beyond
// that. Text after the last transition is an error.
bool Map::readTransitions(std::istream& is) {
    const std::size_t limit = std::size_t{4} * m_width * m_height;
    std::size_t count = 0;
    bool ok = true;
    Transition transition;
    for (;;) {
        const TransitionRead result = readTransitionItem(is, transition);
        if (result == TransitionRead::END) {
            return ok && is.eof();
        }
        if (result == TransitionRead::FAILED) {
            return false;
        }
        if (++count > limit) {
            LOG(loggerMap, ERR) << "Too many transitions";
            return false;
        }
        if (transition.isValid(*this)) {
            m_transitions.push_back(transition);
        } else {
            ok = false;
        }
    }
}

// Each transition that shares an end with an earlier one is reported once, against the earliest
// such transition. The ends are sorted as (end, transition): the first of each run of equal
// ends is the earliest transition there.
bool Map::checkDuplicateEnds() const {
    constexpr std::size_t NO_TRANSITION = SIZE_MAX;
    const auto endKey = [this](map_axis x, map_axis y, Direction d) {
        return (std::size_t{y} * m_width + x) * 8 + static_cast<std::size_t>(d);
    };
    std::vector<std::pair<std::size_t, std::size_t>> ends;
    ends.reserve(2 * m_transitions.size());
    for (std::size_t j = 0; j < m_transitions.size(); ++j) {
        const Transition& t = m_transitions[j];
        ends.emplace_back(endKey(t.m_xStart, t.m_yStart, t.m_dStart), j);
        ends.emplace_back(endKey(t.m_xEnd, t.m_yEnd, t.m_dEnd), j);
    }
    std::sort(ends.begin(), ends.end());
    std::vector<std::size_t> earliest(m_transitions.size(), NO_TRANSITION);
    std::size_t firstHere = NO_TRANSITION;
    for (std::size_t k = 0; k < ends.size(); ++k) {
        const auto [end, j] = ends[k];
        if (k == 0 || end != ends[k - 1].first) {
            firstHere = j;
        } else if (j != firstHere) {
            earliest[j] = std::min(earliest[j], firstHere);
        }
    }
    bool ok = true;
    for (std::size_t j = 0; j < m_transitions.size(); ++j) {
        if (earliest[j] != NO_TRANSITION) {
            LOG(loggerMap, ERR) << "Duplicate transition endpoints: " << m_transitions[earliest[j]]
                                << " vs " << m_transitions[j];
            ok = false;
        }
    }
    return ok;
}

// The map text is untrusted: when the header's dimensions are out of range the read stops
// there, before anything is allocated from them. Every other problem is logged, and the read
// goes on as far as the text allows so that all of them are reported.
std::istream& operator>>(std::istream& is, Map& map) {
    if (!is.good()) {
        LOG(loggerMap, ERR) << "Error in stream";
        return is;
    }
    map.m_isValid = false;
    map.m_playable = 0;
    map.m_transitions.clear();
    map.m_tiles.reset();
    is >> std::skipws;
    map.m_players = readHeaderNumber(is);
    map.m_overrides = readHeaderNumber(is);
    map.m_bombs = readHeaderNumber(is);
    map.m_bombStrength = readHeaderNumber(is);
    map.m_height = readHeaderNumber(is);
    map.m_width = readHeaderNumber(is);
    if (!is.good()) {
        LOG(loggerMap, ERR) << "Error in stream after parsing map header";
        return is;
    }
    bool ok = map.checkHeader();
    if (!map.hasValidDimensions()) {
        return is;
    }
    std::uint32_t bonusTiles = 0;
    ok = map.readTiles(is, bonusTiles) && ok;
    ok = map.checkBonusSums(bonusTiles) && ok;
    ok = ok && map.readTransitions(is);
    ok = map.checkDuplicateEnds() && ok;
    map.m_isValid = ok;
    if (ok) {
        LOG(loggerMap, DEBUG) << "Done reading map:\n " << map;
    }
    return is;
}

std::ostream& operator<<(std::ostream& os, const Map& map) {
    os << map.m_players << '\n'
       << map.m_overrides << '\n'
       << map.m_bombs << ' ' << map.m_bombStrength << '\n'
       << map.m_height << ' ' << map.m_width << '\n';
    for (map_axis y = 0; y < map.m_height && map.m_tiles; ++y) {
        for (map_axis x = 0; x < map.m_width; ++x) {
            os << (x == 0 ? "" : " ") << map.getTile(x, y);
        }
        os << '\n';
    }
    for (const Transition& t : map.m_transitions) {
        os << t << '\n';
    }
    return os;
}
