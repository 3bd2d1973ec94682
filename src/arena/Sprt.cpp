#include "arena/Sprt.hpp"

#include <cmath>
#include <sstream>
#include <vector>

namespace {

// One decimal number that fills the whole text.
bool readDouble(const std::string& text, double& value) {
    std::istringstream in(text);
    in >> value;
    return !text.empty() && !in.fail() && in.peek() == std::char_traits<char>::eof() &&
           std::isfinite(value);
}

std::vector<std::string> splitCommas(const std::string& text) {
    std::vector<std::string> parts;
    std::string part;
    std::istringstream in(text);
    while (std::getline(in, part, ',')) {
        parts.push_back(part);
    }
    if (!text.empty() && text.back() == ',') {
        parts.emplace_back();
    }
    return parts;
}

} // namespace

bool parseSprtParameters(const std::string& text, SprtParameters& parameters) {
    const auto parts = splitCommas(text);
    if (parts.size() != 2 && parts.size() != 4) {
        return false;
    }
    SprtParameters read;
    double* targets[] = {&read.elo0, &read.elo1, &read.alpha, &read.beta};
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (!readDouble(parts[i], *targets[i])) {
            return false;
        }
    }
    const auto rateOK = [](double rate) { return rate > 0 && rate <= 0.5; };
    if (read.elo0 >= read.elo1 || !rateOK(read.alpha) || !rateOK(read.beta)) {
        return false;
    }
    parameters = read;
    return true;
}

SprtState evaluateSprt(const SprtParameters& parameters, const PairCounts& counts) {
    SprtState state;
    state.lowerBound = std::log(parameters.beta / (1 - parameters.alpha));
    state.upperBound = std::log((1 - parameters.beta) / parameters.alpha);
    const double n = counts.total();
    if (n <= 0) {
        return state;
    }
    const double s0 = scoreFromElo(parameters.elo0);
    const double s1 = scoreFromElo(parameters.elo1);
    const double sum = counts.wins + counts.draws / 2;
    const PairCounts padded{counts.wins + 0.5, counts.draws, counts.losses + 0.5};
    const double m = padded.score();
    const double variance = (padded.wins * (1 - m) * (1 - m) +
                             padded.draws * (0.5 - m) * (0.5 - m) + padded.losses * m * m) /
                            padded.total();
    state.llr = (s1 - s0) * (2 * sum - n * (s0 + s1)) / (2 * variance);
    if (state.llr >= state.upperBound) {
        state.decision = SprtDecision::AcceptH1;
    } else if (state.llr <= state.lowerBound) {
        state.decision = SprtDecision::AcceptH0;
    }
    return state;
}

std::string describeSprt(const SprtParameters& parameters, const SprtState& state) {
    std::ostringstream text;
    switch (state.decision) {
    case SprtDecision::AcceptH0:
        text << "H0 accepted (Elo <= " << parameters.elo0 << ")";
        break;
    case SprtDecision::AcceptH1:
        text << "H1 accepted (Elo >= " << parameters.elo1 << ")";
        break;
    default:
        text << "no decision yet";
        break;
    }
    return text.str();
}
