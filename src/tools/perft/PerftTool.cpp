#include "tools/perft/PerftTool.hpp"

#include <chrono>
#include <cstdio>
#include <iostream>

#include "common/Logging.hpp"
#include "tools/perft/Perft.hpp"

namespace {

void checkDepth(const OPTA::TypedArgument<unsigned>& arg, const unsigned& value) {
    if (value < 1 || value > PerftTool::MAX_DEPTH) {
        throw OPTA::argument_invalid_value(arg, std::to_string(value));
    }
}

void checkEngine(const OPTA::TypedArgument<std::string>& arg, const std::string& value) {
    if (value != "search" && value != "reference") {
        throw OPTA::argument_invalid_value(arg, value);
    }
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
        m_engine, "Rules engine: search (the search board, default) or reference (the referee)",
        "engine");
    engine.valuename("name");
    engine.check_typed(checkEngine);
    OPTA::SwitchArgument divide(m_divide, "Also print the leaves under each first move", "divide");
    parser.arguments().add(map).add(depth).add(engine).add(divide);
    return Tool::parseOptions(parser);
}

// One line per depth: the leaves, the seconds taken and the leaves per second; then, with
// --divide, one line per first move at the full depth.
bool PerftTool::doRun() {
    Map map;
    if (!map.loadFromFile(m_mapFile)) {
        LOG(loggerGame, FATAL) << "Invalid map " << m_mapFile << ". aborting.";
        return false;
    }
    auto engine = makePerftEngine(m_engine, map);
    if (!engine) {
        return false;
    }
    for (unsigned d = 1; d <= m_depth; ++d) {
        const auto start = std::chrono::steady_clock::now();
        const std::uint64_t leaves = engine->count(d);
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        const double seconds = took.count();
        const double speed = seconds > 0 ? static_cast<double>(leaves) / seconds / 1e6 : 0.0;
        std::printf("depth %u leaves %llu time %.3f speed %.2f M leaves/s\n", d,
                    static_cast<unsigned long long>(leaves), seconds, speed);
        std::fflush(stdout);
    }
    if (m_divide) {
        for (const auto& [move, leaves] : engine->divide(m_depth)) {
            std::printf("move %u %u choice %u%s leaves %llu\n", move.x, move.y,
                        static_cast<unsigned>(move.choice), move.terminal ? " bomb" : "",
                        static_cast<unsigned long long>(leaves));
        }
    }
    return std::fflush(stdout) == 0 && !std::ferror(stdout);
}
