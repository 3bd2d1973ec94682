// The pattern tables as text, and the tables compiled into the programs.
#include "search/PatternWeights.hpp"

#include <sstream>

#include "common/FileIO.hpp"

// The lines of data/pattern-weights.txt, written into a generated source by the build.
extern const char* const PatternWeightsText[];
extern const unsigned PatternWeightsLines;

namespace {

// One section: its name and where its weights go.
struct Section {
    const char* name;
    unsigned offset;
    unsigned count;
};

constexpr Section Sections[] = {
    {"edge", PatternWeights::EdgeOffset, PatternWeights::EdgeCount},
    {"block", PatternWeights::BlockOffset, PatternWeights::BlockCount},
};

// Reads the next word that is not inside a "#" comment.
bool nextWord(std::istream& in, std::string& word) {
    while (in >> word) {
        if (word.front() != '#') {
            return true;
        }
        in.ignore(1 << 20, '\n');
    }
    return false;
}

bool readSection(std::istream& in, const Section& section, std::vector<int>& weights,
                 std::string& reason) {
    std::string word;
    if (!nextWord(in, word) || word != section.name) {
        reason = std::string("expected the section \"") + section.name + "\"";
        return false;
    }
    if (!nextWord(in, word) || word != std::to_string(section.count)) {
        reason = std::string("the section ") + section.name + " must hold " +
                 std::to_string(section.count) + " weights";
        return false;
    }
    for (unsigned k = 0; k < section.count; ++k) {
        long value = 0;
        if (!nextWord(in, word) || !(std::istringstream(word) >> value) ||
            value < -PatternWeights::Limit || value > PatternWeights::Limit) {
            reason = std::string("weight ") + std::to_string(k) + " of " + section.name +
                     " is missing or not a whole number within +-" +
                     std::to_string(PatternWeights::Limit);
            return false;
        }
        weights[section.offset + k] = static_cast<int>(value);
    }
    return true;
}

} // namespace

std::shared_ptr<const PatternWeights> PatternWeights::builtIn() {
    static const std::shared_ptr<const PatternWeights> table = [] {
        std::string text;
        for (unsigned line = 0; line < PatternWeightsLines; ++line) {
            text += PatternWeightsText[line];
            text += '\n';
        }
        auto weights = std::make_shared<PatternWeights>();
        std::istringstream in(text);
        std::string error;
        // A faulty file fails the build's tests; the programs then play without patterns.
        if (!weights->read(in, "built-in pattern weights", error)) {
            weights->weights.assign(Size, 0);
        }
        return weights;
    }();
    return table;
}

bool PatternWeights::read(std::istream& in, const std::string& source, std::string& error) {
    std::vector<int> read(Size, 0);
    std::string reason;
    for (const Section& section : Sections) {
        if (!readSection(in, section, read, reason)) {
            error = source + ": " + reason;
            return false;
        }
    }
    std::string extra;
    if (nextWord(in, extra)) {
        error = source + ": unexpected \"" + extra + "\" after the last section";
        return false;
    }
    weights = std::move(read);
    return true;
}

// The file is some 150 kB; the bound keeps a wrong path from filling memory.
bool PatternWeights::load(const std::string& path, std::string& error) {
    std::string text;
    std::string reason;
    if (!readWholeFile(path, text, reason, 16 << 20)) {
        error = "cannot read " + path + ": " + reason;
        return false;
    }
    std::istringstream in(text);
    return read(in, path, error);
}

// 27 weights a line, so that a line holds the configurations of the first squares' 27
// combinations.
void PatternWeights::write(std::ostream& out) const {
    out << "# Pattern weights of the evaluation, in evaluation points (see docs/ai.md)\n";
    for (const Section& section : Sections) {
        out << section.name << ' ' << section.count << '\n';
        for (unsigned k = 0; k < section.count; ++k) {
            out << weights[section.offset + k] << (k % 27 == 26 ? '\n' : ' ');
        }
    }
}
