// Elo differences from pairwise results, with a 95 % confidence interval.
#pragma once

// Wins, draws and losses of one side of a series of pairwise outcomes.
struct PairCounts {
    double wins = 0;
    double draws = 0;
    double losses = 0;

    double total() const { return wins + draws + losses; }
    // The score fraction: wins plus half the draws, over all outcomes; 0.5 without any.
    double score() const;
};

// An Elo difference and its 95 % interval. A score of 0 or 1 gives an infinite difference
// (and infinite bounds), which the writers print as such.
struct EloEstimate {
    double elo = 0;
    double low = 0;
    double high = 0;
};

// The Elo difference that the score fraction s stands for: -400 log10(1/s - 1).
double eloFromScore(double s);

// The expected score fraction of a side that is `elo` points stronger.
double scoreFromElo(double elo);

// Elo from the counts, the interval from the standard error of the mean score: the per-outcome
// variance of the results (1, 1/2, 0) over the number of outcomes, s +- 1.96 se mapped through
// the same formula.
EloEstimate estimateElo(const PairCounts& counts);
