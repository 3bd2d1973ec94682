// The program reversi-perft: counts the move tree of a map to a depth, one line per depth with
// the time taken, with the search board or with the referee for comparison.
#pragma once

#include <string>

#include "common/Tool.hpp"

class PerftTool : public Tool {
public:
    // Deeper trees would not finish on any map with moves.
    static constexpr unsigned MAX_DEPTH = 60;

protected:
    bool parseOptions(OPTA::ArgumentParser& parser) override;
    bool doRun() override;

private:
    std::string m_mapFile;
    unsigned m_depth = 0;
    std::string m_engine = "search";
    bool m_divide = false;
};
