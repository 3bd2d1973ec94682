#include "arena/Elo.hpp"

#include <cmath>
#include <limits>

namespace {

// The two-sided 95 % quantile of the normal distribution.
constexpr double Z95 = 1.959963984540054;

// The interval's ends for counts with at least one outcome; an end that reaches a score of 0
// or 1 stays open.
void addInterval(const PairCounts& counts, EloEstimate& estimate) {
    const double n = counts.total();
    const double s = counts.score();
    const double variance = (counts.wins * (1 - s) * (1 - s) +
                             counts.draws * (0.5 - s) * (0.5 - s) + counts.losses * s * s) /
                            n;
    const double margin = Z95 * std::sqrt(variance / n);
    if (s - margin > 0) {
        estimate.low = eloFromScore(s - margin);
    }
    if (s + margin < 1) {
        estimate.high = eloFromScore(s + margin);
    }
}

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
    EloEstimate estimate;
    const double s = counts.score();
    if (counts.total() <= 0) {
        return estimate;
    }
    if (s > 0 && s < 1) {
        estimate.kind = EloKind::Value;
        estimate.elo = eloFromScore(s);
        addInterval(counts, estimate);
        return estimate;
    }
    const bool perfect = s >= 1;
    PairCounts moved = counts;
    (perfect ? moved.wins : moved.losses) -= 0.5;
    (perfect ? moved.losses : moved.wins) += 0.5;
    estimate.kind = perfect ? EloKind::Above : EloKind::Below;
    estimate.elo = eloFromScore(moved.score());
    addInterval(moved, estimate);
    (perfect ? estimate.high : estimate.low).reset();
    return estimate;
}
