#include "common/Map.hpp"

#include "common/Logging.hpp"

Transition::Transition(map_axis xStart, map_axis yStart, Direction dStart, map_axis xEnd,
                       map_axis yEnd, Direction dEnd)
    : m_xStart(xStart), m_yStart(yStart), m_dStart(dStart), m_xEnd(xEnd), m_yEnd(yEnd),
      m_dEnd(dEnd), m_isValid(true) {}

// Both ends must lie on the map and face its outside or a hole. The two checks are made
// independently: an end off the map fails the coordinate check and is not looked at further
// (its neighbour is NONE), while an end on the map that faces a square is still reported.
// Self-loops pass: a line that leaves through such an end simply comes back through it.
bool Transition::isValid(const Map& map) const {
    const bool onMap = m_xStart < map.getWidth() && m_yStart < map.getHeight() &&
                       m_xEnd < map.getWidth() && m_yEnd < map.getHeight();
    const bool connected = map.getDirectNeighbour(m_xStart, m_yStart, m_dStart) == Square::NONE &&
                           map.getDirectNeighbour(m_xEnd, m_yEnd, m_dEnd) == Square::NONE;
    if (onMap && connected) {
        return true;
    }
    LOG(loggerMap, ERR) << "Transition checks failed for transition " << *this;
    if (!onMap) {
        LOG(loggerMap, ERR) << "  Coordinates are invalid";
    }
    if (!connected) {
        LOG(loggerMap, ERR) << "  Transition not connected via empty location";
    }
    return false;
}

namespace {

bool sameEnd(map_axis x1, map_axis y1, Direction d1, map_axis x2, map_axis y2, Direction d2) {
    return x1 == x2 && y1 == y2 && d1 == d2;
}

} // namespace

bool Transition::sharesNeightbour(const Transition& other) const {
    return sameEnd(m_xStart, m_yStart, m_dStart, other.m_xStart, other.m_yStart, other.m_dStart) ||
           sameEnd(m_xStart, m_yStart, m_dStart, other.m_xEnd, other.m_yEnd, other.m_dEnd) ||
           sameEnd(m_xEnd, m_yEnd, m_dEnd, other.m_xStart, other.m_yStart, other.m_dStart) ||
           sameEnd(m_xEnd, m_yEnd, m_dEnd, other.m_xEnd, other.m_yEnd, other.m_dEnd);
}

std::ostream& operator<<(std::ostream& os, const Transition& transition) {
    return os << transition.m_xStart << ' ' << transition.m_yStart << ' ' << transition.m_dStart
              << " <-> " << transition.m_xEnd << ' ' << transition.m_yEnd << ' '
              << transition.m_dEnd;
}
