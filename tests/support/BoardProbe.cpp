#include "tests/support/BoardProbe.hpp"

#include <array>
#include <set>
#include <sstream>

namespace testing_support {

BoardProbe::BoardProbe(std::unique_ptr<Map> map) : OwnedMap(std::move(map)), GameBoard(*ownedMap) {}

std::unique_ptr<BoardProbe> BoardProbe::build(std::unique_ptr<Map> map, bool loaded) {
    if (!loaded) {
        ADD_FAILURE() << "map is invalid: " << map->getName();
        return nullptr;
    }
    return std::unique_ptr<BoardProbe>(new BoardProbe(std::move(map)));
}

std::unique_ptr<BoardProbe> BoardProbe::fromText(const std::string& text) {
    auto map = std::make_unique<Map>();
    const bool loaded = map->loadFromString(text);
    return build(std::move(map), loaded);
}

std::unique_ptr<BoardProbe> BoardProbe::fromFile(const std::string& path) {
    auto map = std::make_unique<Map>();
    const bool loaded = map->loadFromFile(path);
    return build(std::move(map), loaded);
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

index_t BoardProbe::at(unsigned x, unsigned y) const {
    return coords2index(static_cast<std::uint16_t>(x), static_cast<std::uint16_t>(y));
}

::testing::AssertionResult BoardProbe::invariantsHold() const {
    std::array<std::uint32_t, 9> counts{};
    std::uint32_t nonHoles = 0;
    for (index_t i = 0; i < boardsize; ++i) {
        const Square s = get_square(i);
        nonHoles += s != Square::NONE ? 1 : 0;
        if (isStone(s)) {
            ++counts[idx(s)];
        }
    }
    if (counts != state.stoneCount) {
        return ::testing::AssertionFailure() << "stone counts differ from a recount";
    }
    if (nonHoles != reducedboardsize) {
        return ::testing::AssertionFailure()
               << "reducedboardsize " << reducedboardsize << " but " << nonHoles << " non-holes";
    }
    std::set<std::size_t> colours;
    for (std::size_t p = 1; p <= nplayers; ++p) {
        const std::size_t colour = idx(ptob_map[p]);
        if (colour < 1 || colour > nplayers || btop_map[colour] != static_cast<Player>(p)) {
            return ::testing::AssertionFailure() << "mappings are not inverse for player " << p;
        }
        colours.insert(colour);
    }
    if (colours.size() != nplayers) {
        return ::testing::AssertionFailure() << "ptob_map is not a permutation";
    }
    return ::testing::AssertionSuccess();
}

} // namespace testing_support
