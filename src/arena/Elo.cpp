#include "arena/Elo.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// The two-sided 95 % quantile of the normal distribution.
constexpr double Z95 = 1.959963984540054;

} // namespace

double PairCounts::score() const {
    const double n = total();
    return n > 0 ? (wins + draws / 2) / n : 0.5;
}

double eloFromScore(double s) {
    if (s <= 0) {
        return -std::numeric_limits<double>::infinity();
    }
    if (s >= 1) {
        return std::numeric_limits<double>::infinity();
    }
    return -400 * std::log10(1 / s - 1);
}

double scoreFromElo(double elo) {
    return 1 / (1 + std::pow(10.0, -elo / 400));
}

EloEstimate estimateElo(const PairCounts& counts) {
    const double n = counts.total();
    const double s = counts.score();
    if (n <= 0) {
        return {0, -std::numeric_limits<double>::infinity(),
                std::numeric_limits<double>::infinity()};
    }
    const double variance = (counts.wins * (1 - s) * (1 - s) +
                             counts.draws * (0.5 - s) * (0.5 - s) + counts.losses * s * s) /
                            n;
    const double margin = Z95 * std::sqrt(variance / n);
    return {eloFromScore(s), eloFromScore(std::max(0.0, s - margin)),
            eloFromScore(std::min(1.0, s + margin))};
}
