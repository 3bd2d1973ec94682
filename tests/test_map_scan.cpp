// The map text scanner of reversi-map against the map reader: in every text the reader accepts
// (the sample maps, generated maps and damaged copies of both) the scanner finds nothing, and in
// every text the reader cannot read through, or whose header it refuses, the scanner finds a
// problem.
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/Map.hpp"
#include "tests/support/GameSupport.hpp"
#include "tests/support/MapLogCapture.hpp"
#include "tests/support/TempFolder.hpp"
#include "tests/support/TestPaths.hpp"
#include "tools/map/MapGenerator.hpp"
#include "tools/map/MapScan.hpp"

using namespace testing_support;

namespace {

// The reader's messages about text it could not read item by item, or about a header number
// out of range; the other messages are about well-formed text.
bool readerStumbled(const std::vector<std::string>& messages) {
    const char* const prefixes[] = {
        "Invalid tile",      "Error in stream",       "Transition x",
        "Transition y",      "Transition direction",  "Transition separator",
        "Invalid number of", "Invalid bomb strength", "Invalid map dimensions"};
    for (const std::string& message : messages) {
        for (const char* prefix : prefixes) {
            if (message.rfind(prefix, 0) == 0) {
                return true;
            }
        }
    }
    return false;
}

std::vector<std::string> originals() {
    std::vector<std::string> texts;
    for (const auto& name : sampleMapNames()) {
        texts.push_back(readFile(mapPath(name)));
    }
    for (unsigned seed = 1; seed <= 30; ++seed) {
        GeneratorOptions options;
        options.players = 2 + seed % 7;
        options.width = options.players + 2 + seed % 17;
        options.height = options.players + 2 + seed * 7 % 19;
        options.holes = seed % 20;
        options.transitions = seed % 6;
        options.choice = options.inversion = options.bonus = options.expansion = seed % 2;
        options.seed = seed;
        std::string text;
        std::string error;
        EXPECT_TRUE(generateMap(options, text, error)) << error;
        texts.push_back(text);
    }
    return texts;
}

} // namespace

// Damage replaces, inserts or cuts off at a random byte, or doubles or drops a random
// two-byte piece (a square and its space).
TEST(MapScan, FindsNothingWhereTheReaderAcceptsAndAProblemWhereItStumbles) {
    const std::string alphabet = "0123456789-+xicbO<> \n\t\x1a";
    std::mt19937 random(20261207);
    unsigned accepted = 0;
    unsigned refused = 0;
    for (const std::string& original : originals()) {
        for (int round = 0; round < 200; ++round) {
            std::string text = original;
            const std::size_t where = random() % text.size();
            const std::string c(1, alphabet[random() % alphabet.size()]);
            switch (round == 0 ? 5 : random() % 5) {
            case 0:
                text.replace(where, 1, c);
                break;
            case 1:
                text.insert(where, c);
                break;
            case 2:
                text.resize(where);
                break;
            case 3:
                text.insert(where, text.substr(where, 2));
                break;
            case 4:
                text.erase(where, 2);
                break;
            default:
                break;
            }
            MapLogCapture log(logcraft::LogLevel::WARN);
            Map map;
            const bool valid = map.loadFromString(text);
            const auto problem = scanMapText(text);
            if (valid) {
                ++accepted;
                EXPECT_FALSE(problem) << problem->what << "\n" << text;
            } else if (readerStumbled(log.messages())) {
                ++refused;
                EXPECT_TRUE(problem) << log.messages().front() << "\n" << text;
            }
        }
    }
    EXPECT_GT(accepted, 500u);
    EXPECT_GT(refused, 1000u);
}
