// The stones next to free squares, which the evaluation reads for frontier stones and potential
// mobility. On a large map the free squares next to stones run to hundreds, and walking them at
// every leaf took more than a third of an alpha-beta search's time; while tracking, each free
// square keeps how many stones of each colour surround it, and the totals change with the
// squares a move changes.
#include "search/SearchBoard.hpp"

#include <bit>

namespace {

// One count in the four bits of colour c.
constexpr std::uint32_t colourUnit(Square c) {
    return 1u << (4u * (static_cast<unsigned>(c) - 1u));
}

// Bit 4 * (c - 1) set for every colour c whose four bits are not zero.
constexpr std::uint32_t coloursPresent(std::uint32_t counts) {
    return (counts | counts >> 1 | counts >> 2 | counts >> 3) & 0x11111111u;
}

// The colours of the stones around square i in the directions `dirs` (bit d for direction d),
// as coloursPresent gives them, with every one of those stones passed to mark().
template <typename Mark>
std::uint32_t stonesAround(const SearchBoard& board, index_t i, unsigned dirs, Mark&& mark) {
    std::uint32_t colours = 0;
    for (; dirs != 0; dirs &= dirs - 1) {
        const index_t n = board.neighbour(i, static_cast<Direction>(std::countr_zero(dirs)));
        if (n != INVALID_INDEX && n != i && isStone(board.square(n))) {
            colours |= colourUnit(board.square(n));
            mark(n);
        }
    }
    return colours;
}

// A free square with stones of `colours` around it.
void countFree(SearchBoard::NearStones& near, std::uint32_t colours, int sign) {
    if (colours == 0) {
        return;
    }
    near.squares += sign;
    if ((colours & (colours - 1)) == 0) {
        near.ofOneColour[std::countr_zero(colours) / 4 + 1] += sign;
    }
}

} // namespace

SearchBoard::NearStones SearchBoard::nearStones() const {
    if (m_trackNear) {
        return m_near;
    }
    NearStones near;
    SquareMarks::Pass marks = m_nearMarks.begin(size());
    forEachFreeNearOccupied([&](index_t i) {
        const auto mark = [&](index_t n) {
            if (marks.mark(n)) {
                ++near.frontier[static_cast<unsigned>(m_squares[n])];
            }
        };
        countFree(near, stonesAround(*this, i, occupiedNeighbours(i), mark), 1);
    });
    return near;
}

// Tracking starts from the squares as they are.
void SearchBoard::trackNearStones(bool on) {
    m_trackNear = on && !m_bitboards;
    if (m_trackNear) {
        initNear();
    }
}

SearchBoard::NearStones SearchBoard::countNearStones() const {
    NearStones near;
    std::vector<bool> frontier(size(), false);
    for (unsigned i = 0; i < size(); ++i) {
        if (isFree(m_squares[i])) {
            const auto mark = [&](index_t n) { frontier[n] = true; };
            countFree(near, stonesAround(*this, i, 0xFFu, mark), 1);
        }
    }
    for (unsigned i = 0; i < size(); ++i) {
        if (frontier[i]) {
            ++near.frontier[static_cast<unsigned>(m_squares[i])];
        }
    }
    return near;
}

// The counts of every square, then the totals, from the squares.
void SearchBoard::initNear() {
    m_stoneNeighbours.assign(size(), 0);
    m_freeAround.assign(size(), 0);
    m_near = NearStones{};
    const std::uint32_t* reverse = m_geo->reverseData();
    for (unsigned i = 0; i < size(); ++i) {
        const Square s = m_squares[i];
        for (std::uint32_t r = m_geo->reverseBegin(i); isStone(s) && r < m_geo->reverseBegin(i + 1);
             ++r) {
            m_stoneNeighbours[reverse[r] >> 3] += colourUnit(s);
        }
        for (unsigned d = 0; isFree(s) && d < 8; ++d) {
            const index_t n = neighbour(static_cast<index_t>(i), static_cast<Direction>(d));
            if (n != INVALID_INDEX && n != i) {
                ++m_freeAround[n];
            }
        }
    }
    for (unsigned i = 0; i < size(); ++i) {
        const Square s = m_squares[i];
        if (isStone(s) && m_freeAround[i] != 0) {
            ++m_near.frontier[static_cast<unsigned>(s)];
        }
        if (isFree(s)) {
            countNear(static_cast<index_t>(i), 1);
        }
    }
}

// Square i goes from `old` to `now`, on the way forward or back: the free squares around it
// count its colour afresh, it stops or starts being a frontier stone, and when it stops or
// starts being free, so may the stones around it. Only free squares keep their counts up to
// date (most stones a move flips have no free square next to them); a square that becomes free
// counts its neighbours anew.
void SearchBoard::nearChanged(index_t i, Square old, Square now) {
    const std::uint32_t before = isStone(old) ? colourUnit(old) : 0u;
    const std::uint32_t after = isStone(now) ? colourUnit(now) : 0u;
    if (before != after && m_freeAround[i] != 0) {
        const std::uint32_t* reverse = m_geo->reverseData();
        const std::uint32_t* const end = reverse + m_geo->reverseBegin(i + 1);
        std::uint32_t* counts = m_stoneNeighbours.data();
        for (const std::uint32_t* r = reverse + m_geo->reverseBegin(i); r != end; ++r) {
            const unsigned j = *r >> 3;
            if (!isFree(m_squares[j])) {
                continue;
            }
            const std::uint32_t was = coloursPresent(counts[j]);
            counts[j] += after - before;
            if (was != coloursPresent(counts[j])) {
                countFree(m_near, was, -1);
                countFree(m_near, coloursPresent(counts[j]), 1);
            }
        }
        if (isStone(old)) {
            --m_near.frontier[static_cast<unsigned>(old)];
        }
        if (isStone(now)) {
            ++m_near.frontier[static_cast<unsigned>(now)];
        }
    }
    if (isFree(old) != isFree(now)) {
        freeChanged(i, isFree(now) ? 1 : -1);
    }
}

// Square i becomes free (step 1) or stops being free (-1).
void SearchBoard::freeChanged(index_t i, int step) {
    std::uint32_t counts = 0;
    for (unsigned d = 0; d < 8; ++d) {
        const index_t n = neighbour(i, static_cast<Direction>(d));
        if (n == INVALID_INDEX || n == i) {
            continue;
        }
        const bool wasFrontier = m_freeAround[n] != 0;
        m_freeAround[n] = static_cast<std::uint8_t>(m_freeAround[n] + step);
        if (isStone(m_squares[n])) {
            counts += colourUnit(m_squares[n]);
            if (wasFrontier != (m_freeAround[n] != 0)) {
                m_near.frontier[static_cast<unsigned>(m_squares[n])] += step;
            }
        }
    }
    if (step > 0) {
        m_stoneNeighbours[i] = counts;
    }
    countNear(i, step);
}

// Adds (sign 1) or takes away (-1) the free square j from the totals of free squares next to
// stones.
void SearchBoard::countNear(index_t j, int sign) {
    countFree(m_near, coloursPresent(m_stoneNeighbours[j]), sign);
}
