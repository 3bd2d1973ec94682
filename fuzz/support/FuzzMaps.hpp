// Small valid maps that the network targets play on, so that the fuzzer spends its bytes on
// messages rather than on finding a map the reader accepts. Between them they have every kind
// of square, override stones, bombs, transitions and two to four players.
#pragma once

#include <array>
#include <string_view>

namespace fuzzing {

inline constexpr std::array<std::string_view, 7> FuzzMaps{
    // One row "1 2 0": player 1's only move is (2,0).
    "2\n0\n1 0\n1 3\n1 2 0\n",
    // Three players in "c 2 1": player 1's only move is the choice square (0,0).
    "3\n0\n0 0\n1 3\nc 2 1\n",
    // "b 2 1": player 1's only move is the bonus square (0,0).
    "2\n0\n1 0\n1 3\nb 2 1\n",
    "2\n1\n2 1\n3 4\n- 0 0 -\n0 1 2 0\nc 2 1 b\n0 1 6 <-> 3 1 2\n",
    "2\n2\n1 1\n6 6\n0 0 0 0 0 0\n0 i 0 0 c 0\n0 0 1 2 0 0\n0 0 2 1 0 0\n0 b 0 0 x 0\n"
    "0 0 0 0 0 -\n",
    "3\n1\n1 0\n5 5\n0 0 0 0 0\n0 1 2 3 0\n0 3 1 2 0\n0 2 3 1 0\n0 0 0 0 b\n0 0 6 <-> 4 0 2\n",
    "4\n3\n2 2\n10 10\n- - 0 0 0 0 0 0 - -\n- 0 0 b 0 0 c 0 0 -\n0 0 1 2 0 0 3 4 0 0\n"
    "0 i 2 1 0 0 4 3 x 0\n0 0 0 0 - - 0 0 0 0\n0 0 0 0 - - 0 0 0 0\n0 x 3 4 0 0 1 2 i 0\n"
    "0 0 4 3 0 0 2 1 0 0\n- 0 0 c 0 0 b 0 0 -\n- - 0 0 0 0 0 0 - -\n0 4 6 <-> 9 4 2\n"
    "0 5 6 <-> 9 5 2\n4 0 0 <-> 4 9 4\n5 0 0 <-> 5 9 4\n3 4 2 <-> 6 5 6\n2 0 6 <-> 7 9 2\n"
    "0 2 7 <-> 9 7 3\n",
};

} // namespace fuzzing
