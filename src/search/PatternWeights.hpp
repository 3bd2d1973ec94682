// The learned weights of the evaluation's pattern terms: the tables, their plain-text file and
// the tables compiled into the programs.
#pragma once

#include <istream>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

// The learned tables: one weight per configuration of an edge line of EdgeLength squares from a
// corner and of a corner block of 3 x 3 squares, in evaluation points. A configuration is a
// number in base 3, one digit per square in walking order: 0 empty, 1 own, 2 other.
struct PatternWeights {
    static constexpr unsigned EdgeLength = 8;
    static constexpr unsigned EdgeCount = 6561;   // 3^8
    static constexpr unsigned BlockCount = 19683; // 3^9
    // Offsets of the two tables in `weights`.
    static constexpr unsigned EdgeOffset = 0;
    static constexpr unsigned BlockOffset = EdgeCount;
    static constexpr unsigned Size = EdgeCount + BlockCount;
    // A weight beyond this is refused when read.
    static constexpr int Limit = 100'000;

    std::vector<int> weights = std::vector<int>(Size, 0);

    // The tables compiled into the programs (data/pattern-weights.txt of the source tree).
    static std::shared_ptr<const PatternWeights> builtIn();
    // Reads "edge N" and "block N" sections of N weights each ("#" comments skipped); false
    // with "source: reason" in `error` on a wrong name, count or value.
    bool read(std::istream& in, const std::string& source, std::string& error);
    // read on a file: false with "cannot read PATH: reason" or read's message.
    bool load(const std::string& path, std::string& error);
    void write(std::ostream& out) const;
};
