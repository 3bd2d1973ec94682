#include "tests/support/BoardProbe.hpp"

#include <array>
#include <set>
#include <sstream>

namespace testing_support {

std::unique_ptr<BoardProbe> BoardProbe::fromText(const std::string& text) {
    auto map = std::make_unique<Map>();
    if (!map->loadFromString(text)) {
        ADD_FAILURE() << "map is invalid: " << text;
        return nullptr;
    }
    return std::unique_ptr<BoardProbe>(new BoardProbe(std::move(map)));
}

std::string BoardProbe::grid() const {
    std::ostringstream os;
    for (unsigned y = 0; y < height; ++y) {
        for (unsigned x = 0; x < width; ++x) {
            os << get_square(at(x, y));
        }
        os << '\n';
    }
    return os.str();
}

::testing::AssertionResult invariantsHold(const GameBoard& board) {
    // The probe's public names of the protected fields read them on any board, a game's too.
    const auto& state = board.*(&BoardProbe::state);
    const auto& ptob = board.*(&BoardProbe::ptob_map);
    const auto& btop = board.*(&BoardProbe::btop_map);
    const std::size_t nplayers = board.getMap().getPlayers();
    std::array<std::uint32_t, 9> counts{};
    std::uint32_t nonHoles = 0;
    for (index_t i = 0; i < board.getBoardSize(); ++i) {
        const Square s = board.get_square(i);
        nonHoles += s != Square::NONE ? 1 : 0;
        if (s >= Square::PLAYER1 && s <= Square::PLAYER_MAX) {
            ++counts[static_cast<std::size_t>(s)];
        }
    }
    if (counts != state.stoneCount) {
        return ::testing::AssertionFailure() << "stone counts differ from a recount";
    }
    if (nonHoles != board.getReducedBoardSize()) {
        return ::testing::AssertionFailure() << "reducedboardsize " << board.getReducedBoardSize()
                                             << " but " << nonHoles << " non-holes";
    }
    std::set<std::size_t> colours;
    for (std::size_t p = 1; p <= nplayers; ++p) {
        const auto colour = static_cast<std::size_t>(ptob[p]);
        if (colour < 1 || colour > nplayers || btop[colour] != static_cast<Player>(p)) {
            return ::testing::AssertionFailure() << "mappings are not inverse for player " << p;
        }
        colours.insert(colour);
    }
    for (std::size_t c = nplayers + 1; c < counts.size(); ++c) {
        if (counts[c] != 0) {
            return ::testing::AssertionFailure() << "colour " << c << " belongs to no player";
        }
    }
    if (colours.size() != nplayers) {
        return ::testing::AssertionFailure() << "ptob_map is not a permutation";
    }
    return ::testing::AssertionSuccess();
}

} // namespace testing_support
