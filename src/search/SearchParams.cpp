// The table of the tunable search parameters, and their reading from options and files and
// their listing, all driven by that one table.
#include "search/SearchParams.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <sstream>

#include "common/FileIO.hpp"

namespace {

using P = SearchParams;

// From this many playable squares on, a map counts as large for the choice of the search.
constexpr unsigned LargeMapSquares = 1000;
// Up to this many players the tree search plays on maps with choice or inversion squares too.
constexpr unsigned FewPlayers = 4;

// Builds an entry of an integer or a real parameter.
constexpr ParamInfo integer(const char* name, int P::*member, double min, double max,
                            const char* meaning) {
    return ParamInfo{name, member, nullptr, min, max, meaning};
}
constexpr ParamInfo real(const char* name, double P::*member, double min, double max,
                         const char* meaning) {
    return ParamInfo{name, nullptr, member, min, max, meaning};
}

// Ranges keep every sum of the move ordering below the killers' keys and every score inside
// the heuristic limit.
constexpr std::array Table{
    integer("stonePoints", &P::stonePoints, 0, 1000, "a stone in the bomb phase"),
    integer("stoneWeightEarly", &P::stoneWeightEarly, -100, 100, "a stone at the game's start"),
    integer("stoneWeightLate", &P::stoneWeightLate, -100, 100, "a stone on a full board"),
    integer("survivalStones", &P::survivalStones, 0, 100,
            "3+ players: fewer stones than this (with 3 opponents) are penalised"),
    integer("survivalPenalty", &P::survivalPenalty, 0, 1000,
            "3+ players: per stone missing below survivalStones"),
    integer("cornerValue", &P::cornerValue, -1000, 1000, "a stone that can never be captured"),
    integer("edgeValue", &P::edgeValue, -1000, 1000, "a stone with one open axis"),
    integer("twoAxesValue", &P::twoAxesValue, -1000, 1000, "a stone with two open axes"),
    integer("cornerDiagonalPenalty", &P::cornerDiagonalPenalty, -1000, 1000,
            "a stone diagonally next to an empty corner"),
    integer("cornerLinePenalty", &P::cornerLinePenalty, -1000, 1000,
            "a stone in line next to an empty corner"),
    integer("mobilityWeight", &P::mobilityWeight, -1000, 1000, "2 players: a legal move square"),
    integer("potentialMobilityWeight", &P::potentialMobilityWeight, -1000, 1000,
            "3+ players: a free square next to an opposing stone"),
    integer("frontierWeight", &P::frontierWeight, -1000, 1000, "a stone next to a free square"),
    integer("overrideValue", &P::overrideValue, -1000, 1000, "an override stone in stock"),
    integer("overrideManyPercent", &P::overrideManyPercent, 0, 1000,
            "3+ players: an override stone counts this many per cent of overrideValue"),
    integer("overrideShareSquares", &P::overrideShareSquares, 1, 2500,
            "3+ players: override stones count less where a player's share passes this"),
    integer("bombBaseValue", &P::bombBaseValue, -1000, 1000, "a bomb in stock"),
    integer("bombAreaValue", &P::bombAreaValue, -100, 100,
            "a bomb in stock, per square of its blast area"),
    integer("inversionTakenPercent", &P::inversionTakenPercent, 0, 100,
            "3+ players: chance in percent that an open inversion square is taken"),
    integer("parityEmpties", &P::parityEmpties, 0, 2500,
            "2 players: parity counts from this many empty squares"),
    integer("parityBonus", &P::parityBonus, -1000, 1000,
            "2 players: the side on turn with an odd number of empties"),
    integer("stabilityWeight", &P::stabilityWeight, -1000, 1000,
            "a stone that no capture can flip any more"),
    integer("stabilityMaxPlayers", &P::stabilityMaxPlayers, 0, 8,
            "with inversion or choice squares: stable stones count up to this many players"),
    integer("patternPercent", &P::patternPercent, 0, 1000,
            "per cent of the pattern weights (edge lines, corner blocks) counted"),
    integer("patternMaxPlayers", &P::patternMaxPlayers, 0, 8,
            "patterns count with at most this many players in the game"),
    integer("orderSquareScale", &P::orderSquareScale, 0, 1024,
            "move order: weight of the square's static value"),
    integer("orderOverridePenalty", &P::orderOverridePenalty, -(1 << 24), 0,
            "move order: key of an override move"),
    integer("historyScale", &P::historyScale, 0, 1024,
            "move order: history bonus of a cutoff, times depth squared"),
    integer("historyDecay", &P::historyDecay, 1, 1024,
            "move order: history divided by this before each search"),
    integer("historyMax", &P::historyMax, 1, 1 << 24,
            "move order: all history is halved when a counter passes this"),
    integer("bestReplyRootWidth", &P::bestReplyRootWidth, 0, 2500,
            "best-reply search: root moves searched beyond depth 2 (0: all)"),
    integer("bombPhaseWidth", &P::bombPhaseWidth, 1, 2500,
            "bomb throws searched below the first ply"),
    integer("ttAgeWeight", &P::ttAgeWeight, 0, 255,
            "transposition table: plies of worth lost per search of age"),
    real("mctsExploration", &P::mctsExploration, 0, 10, "tree search: weight of UCT exploration"),
    real("mctsHistoryWeight", &P::mctsHistoryWeight, 0, 100,
         "tree search: weight of progressive history"),
    real("mctsPlayoutEpsilon", &P::mctsPlayoutEpsilon, 0, 1,
         "tree search: chance of a random playout move"),
    integer("mctsPlayoutSample", &P::mctsPlayoutSample, 1, 64,
            "tree search: candidates compared for a greedy playout move"),
    integer("mctsPlayoutMoves", &P::mctsPlayoutMoves, 0, 10000,
            "tree search: playout moves before the evaluation scores"),
    real("mctsEvaluationScale", &P::mctsEvaluationScale, 1, 100000,
         "tree search: evaluation score that gives a result of 0.73"),
    real("mctsStoneShare", &P::mctsStoneShare, 0, 0.5,
         "tree search: share of the stones in a finished game's result"),
    integer("mctsReuseDepth", &P::mctsReuseDepth, 0, 64,
            "tree search: moves deep an old tree is searched for the new position"),
    integer("mctsBombWidth", &P::mctsBombWidth, 1, 2500,
            "tree search: bomb throws a node holds, the best by the evaluation"),
    real("timeMarginFraction", &P::timeMarginFraction, 0, 0.9, "share of the time limit kept back"),
    integer("timeMarginMs", &P::timeMarginMs, 0, 10000, "milliseconds kept back"),
    real("newIterationFraction", &P::newIterationFraction, 0.01, 1,
         "no iteration starts after this share of the budget"),
    integer("clockCheckInterval", &P::clockCheckInterval, 1, 1 << 20,
            "work between two readings of the clock"),
    integer("moveWorkDivisor", &P::moveWorkDivisor, 1, 1024,
            "generated moves that count as one unit of work"),
};

// The whole text as a number of the parameter's kind, inside its range.
bool parseValue(const ParamInfo& info, std::string_view text, double& value) {
    const char* end = text.data() + text.size();
    std::from_chars_result result{};
    if (info.integer != nullptr) {
        int number = 0;
        result = std::from_chars(text.data(), end, number);
        value = number;
    } else {
        result = std::from_chars(text.data(), end, value);
    }
    return !text.empty() && result.ec == std::errc() && result.ptr == end;
}

std::string numberText(double v) {
    std::array<char, 64> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), v);
    return std::string(buffer.data(), result.ptr);
}

} // namespace

// On a 50 x 50 map with four players, where the alpha-beta search reaches only 3-4 moves,
// best-reply search led the tree search and paranoid search at equal time and against three
// bots. On smaller maps the tree search led at equal time and against the AI before it with
// four players; with eight it led against seven bots where no choice or inversion square
// hands stones around (holes8p), best-reply search where they do (eight8p). docs/ai.md has
// the tables.
const char* defaultSearch(unsigned players, unsigned squares, bool swapSquares) {
    const bool alphaBeta =
        players < 3 || squares > LargeMapSquares || (swapSquares && players > FewPlayers);
    return alphaBeta ? "brs" : "mcts";
}

std::span<const ParamInfo> paramTable() {
    return Table;
}

bool setParam(SearchParams& params, std::string_view name, std::string_view value,
              std::string& error) {
    const auto* info = std::find_if(Table.begin(), Table.end(),
                                    [name](const ParamInfo& p) { return p.name == name; });
    if (info == Table.end()) {
        error = "unknown parameter '" + std::string(name) + "' (see --list-params)";
        return false;
    }
    double v = 0;
    if (!parseValue(*info, value, v) || !(v >= info->min && v <= info->max)) {
        error = "parameter " + std::string(name) + ": '" + std::string(value) + "' is not " +
                (info->integer != nullptr ? "an integer" : "a number") + " in [" +
                numberText(info->min) + ", " + numberText(info->max) + "]";
        return false;
    }
    if (info->integer != nullptr) {
        params.*(info->integer) = static_cast<int>(v);
    } else {
        params.*(info->real) = v;
    }
    return true;
}

bool readParams(SearchParams& params, std::istream& in, const std::string& source,
                std::string& error) {
    std::string line;
    for (unsigned number = 1; std::getline(in, line); ++number) {
        std::istringstream words(line.substr(0, line.find('#')));
        std::string name;
        std::string value;
        std::string rest;
        if (!(words >> name)) {
            continue;
        }
        std::string reason;
        if (!(words >> value) || (words >> rest)) {
            reason = "expected NAME VALUE";
        } else if (setParam(params, name, value, reason)) {
            continue;
        }
        error = source + ":" + std::to_string(number) + ": " + reason;
        return false;
    }
    return true;
}

// A parameter file is a few hundred bytes; the bound keeps a wrong path from filling memory.
bool loadParams(SearchParams& params, const std::string& path, std::string& error) {
    std::string text;
    std::string reason;
    if (!readWholeFile(path, text, reason, 1 << 20)) {
        error = "cannot read " + path + ": " + reason;
        return false;
    }
    std::istringstream in(text);
    return readParams(params, in, path, error);
}

bool loadPatterns(SearchParams& params, const std::string& path, std::string& error) {
    auto weights = std::make_shared<PatternWeights>();
    if (!weights->load(path, error)) {
        return false;
    }
    params.patterns = std::move(weights);
    return true;
}

std::string paramText(const SearchParams& params, const ParamInfo& info) {
    return info.integer != nullptr ? std::to_string(params.*(info.integer))
                                   : numberText(params.*(info.real));
}

std::string paramListing() {
    const SearchParams defaults;
    std::ostringstream out;
    for (const ParamInfo& info : Table) {
        out << info.name << ' ' << paramText(defaults, info) << " [" << numberText(info.min) << ", "
            << numberText(info.max) << "] " << info.meaning << '\n';
    }
    return out.str();
}
