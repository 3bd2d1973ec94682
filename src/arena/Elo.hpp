// Elo differences from pairwise results, with a 95 % confidence interval.
#pragma once

#include <cstdint>
#include <optional>

// Wins, draws and losses of one side of a series of pairwise outcomes.
struct PairCounts {
    double wins = 0;
    double draws = 0;
    double losses = 0;

    double total() const { return wins + draws + losses; }
    // The score fraction: wins plus half the draws, over all outcomes; 0.5 without any.
    double score() const;
};

// What an estimate says. A score strictly between 0 and 1 gives a Value. A perfect score
// (every outcome won) or a nil one (every outcome lost) has no finite estimate, only a bound
// that it lies Above or Below. Without any outcome there is None.
enum class EloKind : std::uint8_t { Value, Above, Below, None };

// An Elo difference, or the bound it passes, and its 95 % interval. An end of the interval that
// reaches a score of 0 or 1 would be infinite: it is left open (empty) instead.
struct EloEstimate {
    EloKind kind = EloKind::None;
    // The estimate for a Value, the bound for Above and Below, 0 for None.
    double elo = 0;
    std::optional<double> low;
    std::optional<double> high;
};

// The Elo difference that the score fraction s stands for: -400 log10(1/s - 1).
double eloFromScore(double s);

// The expected score fraction of a side that is `elo` points stronger.
double scoreFromElo(double elo);

// Elo from the counts, the interval from the standard error of the mean score: the per-outcome
// variance of the results (1, 1/2, 0) over the number of outcomes, s +- 1.96 se mapped through
// the same formula. A perfect or nil score is bounded by moving half an outcome the other
// way (half a win to the losses, or back): the bound and the interval's closed end are those
// of the counts so changed, the end beyond the bound stays open. With n outcomes all won the
// bound is the Elo of the score (n - 1/2) / n, e.g. "> +338.0" for 4 wins out of 4.
EloEstimate estimateElo(const PairCounts& counts);
