// Marks on the squares of a board that are all forgotten at once, for walks that must visit
// each square at most once and run at every node of a search.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/Map.hpp"

// Each square keeps the number of the pass that marked it last, so a new pass forgets every
// mark by taking the next number instead of clearing the board. Only when the counter wraps
// round are the old marks cleared.
class SquareMarks {
public:
    // One pass: the marks and the pass's number held apart from the owner, so that a walk
    // keeps the number in a register while it writes marks.
    class Pass {
    public:
        Pass(std::uint32_t* marks, std::uint32_t number) : m_marks(marks), m_number(number) {}
        bool isMarked(index_t i) const { return m_marks[i] == m_number; }
        // Marks square i; false when the pass had marked it already.
        bool mark(index_t i) {
            if (m_marks[i] == m_number) {
                return false;
            }
            m_marks[i] = m_number;
            return true;
        }

    private:
        std::uint32_t* const m_marks;
        const std::uint32_t m_number;
    };

    explicit SquareMarks(std::size_t squares = 0) : m_marks(squares, 0) {}

    // Starts a pass over a board of this many squares: no square is marked.
    Pass begin(std::size_t squares) {
        if (m_marks.size() != squares) {
            m_marks.assign(squares, 0);
        }
        if (++m_current == 0) {
            std::fill(m_marks.begin(), m_marks.end(), 0u);
            m_current = 1;
        }
        return Pass(m_marks.data(), m_current);
    }
    // Whether the last pass marked square i.
    bool isMarked(index_t i) const { return m_marks[i] == m_current; }

private:
    std::vector<std::uint32_t> m_marks;
    // No square holds it before the first pass, so nothing is marked then.
    std::uint32_t m_current = 1;
};
