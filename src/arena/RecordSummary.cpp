#include "arena/RecordSummary.hpp"

#include <charconv>
#include <sstream>

#include "arena/GameResult.hpp"

namespace {

// The map is at most 50 x 50 plus a few header lines and transitions, each on its own line.
constexpr std::size_t MaxMapLines = 100000;

// The leading number of `text` (after one word and a blank), and where it ends.
bool readLeadingNumber(const std::string& text, std::size_t start, long low, long high, long& value,
                       std::size_t& end) {
    if (start >= text.size()) {
        return false;
    }
    const char* first = text.data() + start;
    const auto [stop, error] = std::from_chars(first, text.data() + text.size(), value);
    end = static_cast<std::size_t>(stop - text.data());
    return error == std::errc() && stop != first && value >= low && value <= high;
}

bool readScores(const std::string& line, std::size_t players, std::vector<int>& scores) {
    std::size_t position = 6; // after "scores"
    scores.clear();
    while (position < line.size()) {
        long score = 0;
        if (line[position] != ' ' ||
            !readLeadingNumber(line, position + 1, -1, MaxScore, score, position)) {
            return false;
        }
        scores.push_back(static_cast<int>(score));
    }
    return scores.size() == players;
}

} // namespace

bool readRecordSummary(const std::string& text, std::size_t players, RecordSummary& summary) {
    std::istringstream in(text);
    std::string line;
    long mapLines = 0;
    std::size_t end = 0;
    if (players < 1 || players > MaxSeats || !std::getline(in, line) ||
        line.rfind("map ", 0) != 0 || !readLeadingNumber(line, 4, 1, MaxMapLines, mapLines, end) ||
        end != line.size()) {
        return false;
    }
    for (long i = 0; i < mapLines; ++i) {
        if (!std::getline(in, line)) {
            return false;
        }
    }
    RecordSummary read;
    read.reasons.assign(players, "");
    bool scored = false;
    while (std::getline(in, line)) {
        long player = 0;
        if (scored) {
            return false;
        }
        if (line.rfind("move ", 0) == 0) {
            continue;
        }
        if (line.rfind("disqualify ", 0) == 0 &&
            readLeadingNumber(line, 11, 1, static_cast<long>(players), player, end) &&
            end < line.size() && line[end] == ' ') {
            read.reasons[static_cast<std::size_t>(player - 1)] = line.substr(end + 1);
        } else if (line.rfind("scores", 0) == 0 && readScores(line, players, read.scores)) {
            scored = true;
        } else {
            return false;
        }
    }
    if (!scored) {
        return false;
    }
    summary = std::move(read);
    return true;
}
