// The search parameters at run time: the listing, a file and the options all read back to the
// same values, bad names and values are refused with the line or option named, and a changed
// parameter reaches the search and its clock.
#include <chrono>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "search/SearchParams.hpp"
#include "search/Searcher.hpp"
#include "search/TimeBudget.hpp"
#include "tests/support/GameSupport.hpp"
#include "tests/support/ScriptedProcess.hpp"
#include "tests/support/TempFolder.hpp"
#include "tests/support/TestPaths.hpp"

using namespace std::chrono_literals;
using namespace testing_support;

namespace {

// The first two words of every line of the listing: "NAME VALUE".
std::vector<std::pair<std::string, std::string>> listedValues(const std::string& listing) {
    std::vector<std::pair<std::string, std::string>> values;
    std::istringstream lines(listing);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::string name;
        std::string value;
        words >> name >> value;
        values.emplace_back(name, value);
    }
    return values;
}

SearchParams readText(const std::string& text, std::string& error) {
    SearchParams params;
    std::istringstream in(text);
    EXPECT_FALSE(readParams(params, in, "p.txt", error)) << text;
    return params;
}

SearchInfo searchTo(const std::string& mapName, unsigned depth, const SearchParams& params) {
    const auto map = mapFromFile(mapName);
    SearchBoard board(*map);
    TranspositionTable table(1, params.ttAgeWeight);
    Searcher searcher(board, &table, params);
    SearchLimits limits;
    limits.depth = depth;
    return searcher.search(board, limits);
}

} // namespace

// Every listed default read back from a file gives the defaults; values changed in memory
// and written with paramText read back the same; the program lists what the table lists and
// takes the listing as a file and as options.
TEST(SearchParams, ListingFileAndOptionsRoundTrip) {
    const auto listed = listedValues(paramListing());
    ASSERT_EQ(listed.size(), paramTable().size());
    std::string file = "# the defaults\n\n";
    std::vector<std::string> options;
    for (const auto& [name, value] : listed) {
        file += "  " + name + "\t" + value + "   # default\n";
        options.push_back("--param");
        options.push_back(name + "=" + value);
    }
    SearchParams changed;
    changed.cornerValue = -7;
    changed.timeMarginFraction = 0.3;
    std::istringstream in(file);
    std::string error;
    ASSERT_TRUE(readParams(changed, in, "defaults", error)) << error;
    EXPECT_EQ(changed, SearchParams{});

    changed.cornerValue = -7;
    changed.newIterationFraction = 0.123456789;
    changed.orderOverridePenalty = -(1 << 24);
    std::string written;
    for (const ParamInfo& info : paramTable()) {
        written += std::string(info.name) + " " + paramText(changed, info) + "\n";
    }
    SearchParams back;
    std::istringstream writtenIn(written);
    ASSERT_TRUE(readParams(back, writtenIn, "written", error)) << error;
    EXPECT_EQ(back, changed);

    const auto list = runProcess(programPath("reversi-ai"), {"--list-params"}, 30s);
    EXPECT_EQ(list.exitStatus, 0) << list.err;
    EXPECT_EQ(list.out, paramListing());
    TempFolder folder;
    writeFile(folder.file("defaults.txt"), file);
    options.insert(options.end(), {"--params", folder.file("defaults.txt"), "--list-params"});
    const auto both = runProcess(programPath("reversi-ai"), options, 30s);
    EXPECT_EQ(both.exitStatus, 0) << both.err;
}

// Unknown names, malformed and out-of-range values and incomplete lines are refused, the
// file's message names its line, and the params keep every value set before the bad line.
TEST(SearchParams, RefusesBadNamesAndValues) {
    std::string error;
    SearchParams params;
    EXPECT_FALSE(setParam(params, "cornerValu", "60", error));
    EXPECT_NE(error.find("unknown parameter 'cornerValu'"), std::string::npos) << error;
    for (const auto& [name, value] :
         std::vector<std::pair<std::string, std::string>>{{"cornerValue", "1001"},
                                                          {"cornerValue", "6O"},
                                                          {"cornerValue", "1.5"},
                                                          {"cornerValue", ""},
                                                          {"cornerValue", "99999999999999999999"},
                                                          {"historyDecay", "0"},
                                                          {"timeMarginFraction", "nan"},
                                                          {"timeMarginFraction", "0.95"},
                                                          {"timeMarginFraction", "0.1s"}}) {
        EXPECT_FALSE(setParam(params, name, value, error)) << name << "=" << value;
        EXPECT_NE(error.find("parameter " + name + ": '" + value + "'"), std::string::npos)
            << error;
    }
    EXPECT_EQ(params, SearchParams{});

    const SearchParams partly = readText("edgeValue 9\n# fine so far\n\nedgeValue\n", error);
    EXPECT_EQ(error, "p.txt:4: expected NAME VALUE");
    EXPECT_EQ(partly.edgeValue, 9);
    readText("edgeValue 9 10\n", error);
    EXPECT_EQ(error, "p.txt:1: expected NAME VALUE");
    readText("\n\nbogus 1\n", error);
    EXPECT_EQ(error.rfind("p.txt:3: unknown parameter 'bogus'", 0), 0u) << error;

    TempFolder folder;
    writeFile(folder.file("bad.txt"), "parityBonus 20\nparityBonus -2000\n");
    for (const std::vector<std::string>& args : {std::vector<std::string>{"--param", "nosuch=1"},
                                                 {"--param", "parityBonus"},
                                                 {"--param", "parityBonus=x", "--list-params"},
                                                 {"--params", folder.file("bad.txt")},
                                                 {"--params", folder.file("missing.txt")}}) {
        const auto result = runProcess(programPath("reversi-ai"), args, 30s);
        EXPECT_EQ(result.exitStatus, 1) << args[1];
        EXPECT_NE(result.err.find(args.front() == "--param" ? "--param " + args[1] : args[1]),
                  std::string::npos)
            << result.err;
    }
    const auto line =
        runProcess(programPath("reversi-ai"), {"--params", folder.file("bad.txt")}, 30s);
    EXPECT_NE(line.err.find("bad.txt:2: parameter parityBonus: '-2000'"), std::string::npos)
        << line.err;
}

// A changed move order changes the node count but not the value of a fixed-depth search; a
// changed evaluation weight changes the value; a changed margin moves the deadline.
TEST(SearchParams, ChangedParametersReachTheSearch) {
    const SearchParams defaults;
    SearchParams noSquareOrder;
    noSquareOrder.orderSquareScale = 0;
    noSquareOrder.historyScale = 0;
    const SearchInfo before = searchTo("classic8x8.map", 6, defaults);
    const SearchInfo after = searchTo("classic8x8.map", 6, noSquareOrder);
    EXPECT_NE(before.nodes, after.nodes);
    EXPECT_EQ(before.score, after.score);
    SearchParams stones;
    stones.mobilityWeight = 0;
    EXPECT_NE(searchTo("classic8x8.map", 3, stones).score,
              searchTo("classic8x8.map", 3, defaults).score);

    SearchParams margin;
    margin.timeMarginMs = 110;
    const SearchClock::time_point start{};
    EXPECT_EQ(moveLimits(start, 1000, 0, defaults).deadline -
                  moveLimits(start, 1000, 0, margin).deadline,
              100ms);
}
