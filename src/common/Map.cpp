#include "common/Map.hpp"

#include <cctype>

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
        if (result > (max - digit) / 10) {
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

Map::Map() = default;
Map::~Map() = default;

bool Map::loadFromFile(const std::string&) {
    return false;
}

bool Map::loadFromString(const std::string&) {
    return false;
}

std::uint32_t Map::getTotalTiles() const {
    return m_tiles ? m_height * m_width : 0;
}

Square Map::getTile(map_axis, map_axis) const {
    return Square::NONE;
}

Square Map::getDirectNeighbour(map_axis, map_axis, Direction) const {
    return Square::NONE;
}

bool Map::affectedByTransition(map_axis, map_axis) const {
    return false;
}

bool Map::readTransition(std::istream&, Transition&) const {
    return false;
}

std::istream& operator>>(std::istream& is, Map&) {
    return is;
}

std::ostream& operator<<(std::ostream& os, const Map&) {
    return os;
}
