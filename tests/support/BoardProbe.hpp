// A board for tests: it owns the map it was built from and opens the protected rule
// operations and fields to the tests.
#pragma once

#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "common/GameBoard.hpp"
#include "common/Map.hpp"

namespace testing_support {

// Holds the map so that it is constructed before, and destroyed after, the board built on it.
struct OwnedMap {
    explicit OwnedMap(std::unique_ptr<Map> map) : ownedMap(std::move(map)) {}
    std::unique_ptr<Map> ownedMap;
};

class BoardProbe : private OwnedMap, public GameBoard {
public:
    // A board from a map text; null (with a test failure) when the map is invalid.
    static std::unique_ptr<BoardProbe> fromText(const std::string& text);

    using GameBoard::AllDirections;
    using GameBoard::btop;
    using GameBoard::btop_map;
    using GameBoard::checkCapture;
    using GameBoard::ptob;
    using GameBoard::ptob_map;
    using GameBoard::rec_bomb;
    using GameBoard::set_square;
    using GameBoard::state;
    using GameBoard::testPathBfs;

    // The square contents by colour, one character per square ('-' holes, digits colours),
    // one line per row.
    std::string grid() const;
    index_t at(unsigned x, unsigned y) const {
        return coords2index(static_cast<std::uint16_t>(x), static_cast<std::uint16_t>(y));
    }

private:
    explicit BoardProbe(std::unique_ptr<Map> map)
        : OwnedMap(std::move(map)), GameBoard(*ownedMap) {}
};

// Every colour's stone count equals a recount and only players' colours have stones,
// reducedboardsize equals the non-holes, and the two mappings are inverse permutations of the
// players 1 ... nplayers.
::testing::AssertionResult invariantsHold(const GameBoard& board);

} // namespace testing_support
