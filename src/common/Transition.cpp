#include "common/Map.hpp"

Transition::Transition(map_axis xStart, map_axis yStart, Direction dStart, map_axis xEnd,
                       map_axis yEnd, Direction dEnd)
    : m_xStart(xStart), m_yStart(yStart), m_dStart(dStart), m_xEnd(xEnd), m_yEnd(yEnd),
      m_dEnd(dEnd), m_isValid(true) {}

bool Transition::isValid(const Map&) const {
    return false;
}

bool Transition::sharesNeightbour(const Transition&) const {
    return false;
}

std::ostream& operator<<(std::ostream& os, const Transition&) {
    return os;
}
