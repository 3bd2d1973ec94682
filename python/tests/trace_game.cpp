// reversi-trace MAP SEED: plays one game of random legal moves on the C++ search board and
// prints every position, so that the Python tests replay the game and compare move by move.
// One line per position: "hash H player P phase N scores S1 ... Sn moves X,Y,C ... pick I",
// then "end hash H scores S1 ... Sn".
#include <iostream>
#include <random>
#include <string>
#include <vector>

#include "common/Map.hpp"
#include "search/SearchBoard.hpp"

namespace {

void printScores(const SearchBoard& board) {
    std::cout << " scores";
    for (unsigned p = 1; p <= board.players(); ++p) {
        std::cout << ' ' << board.stones(static_cast<Player>(p));
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: reversi-trace MAP SEED\n";
        return 2;
    }
    Map map;
    if (!map.loadFromFile(argv[1])) {
        return 1;
    }
    std::mt19937 random(static_cast<std::uint32_t>(std::stoul(argv[2])));
    SearchBoard board(map);
    std::vector<SearchMove> moves;
    while (!board.isFinal()) {
        board.generateMoves(moves);
        if (moves.empty()) {
            break;
        }
        std::cout << "hash " << board.hash() << " player " << static_cast<unsigned>(board.toMove())
                  << " phase " << static_cast<unsigned>(board.phase());
        printScores(board);
        std::cout << " moves";
        for (const SearchMove& m : moves) {
            std::cout << ' ' << board.x(m.index) << ',' << board.y(m.index) << ','
                      << static_cast<unsigned>(m.choice);
        }
        const auto pick = static_cast<unsigned>(random() % moves.size());
        std::cout << " pick " << pick << '\n';
        board.makeMove(moves[pick]);
    }
    std::cout << "end hash " << board.hash();
    printScores(board);
    std::cout << '\n';
    return 0;
}
