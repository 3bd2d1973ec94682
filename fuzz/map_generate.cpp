// Fuzz target: the map generator with options drawn from the input. Options it accepts must
// give a map that the map reader accepts, with the same number of start stones for every
// player and a legal move for each at the start; options it refuses must say why.
// libFuzzer: -max_len=32
#include <cstddef>
#include <cstdint>
#include <string>

#include "common/Game.hpp"
#include "common/GameBoard.hpp"
#include "common/Map.hpp"
#include "fuzz/support/FuzzCheck.hpp"
#include "fuzz/support/FuzzInput.hpp"
#include "fuzz/support/FuzzLog.hpp"
#include "tools/map/MapGenerator.hpp"

namespace {

using fuzzing::FuzzInput;

// Sizes, counts and stocks mostly inside what the generator accepts, sometimes beyond it.
GeneratorOptions drawOptions(FuzzInput& input) {
    GeneratorOptions options;
    options.players = input.below(10);
    options.width = input.below(52);
    options.height = input.below(52);
    options.holes = input.below(101);
    options.transitions = input.below(200);
    options.choice = input.below(20);
    options.inversion = input.below(20);
    options.bonus = input.below(20);
    options.expansion = input.below(20);
    options.overrides = input.u16() % 300;
    options.bombs = input.u16() % 300;
    options.bombStrength = input.u16() % 300;
    options.seed = input.u16();
    return options;
}

void checkFair(const std::string& text, unsigned players) {
    Map map;
    FUZZ_CHECK(map.loadFromString(text));
    FUZZ_CHECK(map.getPlayers() == players);
    const Game game(map, false);
    const GameBoard& board = game.getBoard();
    for (unsigned p = 1; p <= players; ++p) {
        const auto player = static_cast<Player>(p);
        FUZZ_CHECK(board.getStoneCount(player) == board.getStoneCount(Player::P1));
        FUZZ_CHECK(board.move_possible(player));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzing::logEverythingQuietly();
    FuzzInput input(data, size);
    const GeneratorOptions options = drawOptions(input);
    std::string error;
    if (!checkGeneratorOptions(options, error)) {
        FUZZ_CHECK(!error.empty());
        return 0;
    }
    std::string text;
    if (!generateMap(options, text, error)) {
        FUZZ_CHECK(!error.empty());
        return 0;
    }
    checkFair(text, options.players);
    return 0;
}
