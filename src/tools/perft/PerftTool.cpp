#include "tools/perft/PerftTool.hpp"

#include <chrono>
#include <cstdio>
#include <iostream>
#include <memory>
#include <utility>
#include <vector>

#include "common/Logging.hpp"
#include "tools/perft/Perft.hpp"

namespace {

void checkDepth(const OPTA::TypedArgument<unsigned>& arg, const unsigned& value) {
    if (value < 1 || value > PerftTool::MAX_DEPTH) {
        throw OPTA::argument_invalid_value(arg, std::to_string(value));
    }
}

void checkEngine(const OPTA::TypedArgument<std::string>& arg, const std::string& value) {
    if (value != "search" && value != "reference" && value != "both") {
        throw OPTA::argument_invalid_value(arg, value);
    }
}

// One count, timed: the leaves and the seconds taken.
std::pair<std::uint64_t, double> timedCount(PerftEngine& engine, unsigned depth) {
    const auto start = std::chrono::steady_clock::now();
    const std::uint64_t leaves = engine.count(depth);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    return {leaves, took.count()};
}

} // namespace

bool PerftTool::parseOptions(OPTA::ArgumentParser& parser) {
    OPTA::VariableArgument<std::string> map(m_mapFile, "The &map file to count on ('-' reads "
                                                       "standard input)");
    map.valuename("file");
    map.set_required(true);
    OPTA::VariableArgument<unsigned> depth(m_depth,
                                           "Count move sequences up to this &depth (1 to 60)");
    depth.valuename("n");
    depth.set_required(true);
    depth.check_typed(checkDepth);
    OPTA::VariableArgument<std::string> engine(
        m_engine,
        "Rules engine: search (the search board, default), reference (the referee) or both, "
        "one after the other at each depth",
        "engine");
    engine.valuename("name");
    engine.check_typed(checkEngine);
    OPTA::SwitchArgument divide(m_divide, "Also print the leaves under each first move", "divide");
    parser.arguments().add(map).add(depth).add(engine).add(divide);
    return Tool::parseOptions(parser);
}

// One line per depth: the leaves, the seconds taken and the leaves per second; with both
// engines each line names its engine, and a last line gives the ratio of their speeds at the
// full depth. With --divide, one line per first move at the full depth follows.
bool PerftTool::doRun() {
    Map map;
    if (!readProgramMap(map, m_mapFile, loggerGame)) {
        return false;
    }
    std::vector<std::string> names{m_engine};
    if (m_engine == "both") {
        names = {"search", "reference"};
    }
    std::vector<std::unique_ptr<PerftEngine>> engines;
    for (const std::string& name : names) {
        engines.push_back(makePerftEngine(name, map));
    }
    std::vector<double> seconds(engines.size(), 0.0);
    for (unsigned d = 1; d <= m_depth; ++d) {
        for (std::size_t e = 0; e < engines.size(); ++e) {
            const auto [leaves, took] = timedCount(*engines[e], d);
            seconds[e] = took;
            const double speed = took > 0 ? static_cast<double>(leaves) / took / 1e6 : 0.0;
            std::printf("depth %u leaves %llu time %.3f speed %.2f M leaves/s%s\n", d,
                        static_cast<unsigned long long>(leaves), took, speed,
                        engines.size() > 1 ? (" (" + names[e] + ")").c_str() : "");
            std::fflush(stdout);
        }
    }
    if (engines.size() > 1 && seconds[0] > 0) {
        std::printf("speed ratio search/reference at depth %u: %.1f\n", m_depth,
                    seconds[1] / seconds[0]);
    }
    for (std::size_t e = 0; e < engines.size() && m_divide; ++e) {
        for (const auto& [move, leaves] : engines[e]->divide(m_depth)) {
            std::printf("move %u %u choice %u%s leaves %llu%s\n", move.x, move.y,
                        static_cast<unsigned>(move.choice), move.terminal ? " bomb" : "",
                        static_cast<unsigned long long>(leaves),
                        engines.size() > 1 ? (" (" + names[e] + ")").c_str() : "");
        }
    }
    return std::fflush(stdout) == 0 && !std::ferror(stdout);
}
