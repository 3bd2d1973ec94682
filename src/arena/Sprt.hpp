// The sequential probability ratio test that decides, game by game, whether one player is
// stronger than another by elo1 rather than by elo0 Elo, as chess engine testing does it.
#pragma once

#include <string>

#include "arena/Elo.hpp"

struct SprtParameters {
    double elo0 = 0;
    double elo1 = 5;
    double alpha = 0.05;
    double beta = 0.05;
};

// Reads "ELO0,ELO1[,ALPHA,BETA]"; false for anything else, for elo0 >= elo1 or for error
// rates outside (0, 0.5].
bool parseSprtParameters(const std::string& text, SprtParameters& parameters);

enum class SprtDecision { Continue, AcceptH0, AcceptH1 };

struct SprtState {
    double llr = 0;
    double lowerBound = 0;
    double upperBound = 0;
    SprtDecision decision = SprtDecision::Continue;
};

// The log-likelihood ratio of H1 against H0 for the first player's results, in the normal
// approximation on the score: LLR = (s1 - s0) (2 sum x - n (s0 + s1)) / (2 var), with s0 and
// s1 the expected scores under each hypothesis. The variance is estimated from the results
// with half a win and half a loss added, so that a run of equal results does not make it zero
// and end the test after a handful of games.
SprtState evaluateSprt(const SprtParameters& parameters, const PairCounts& counts);

// "H0 accepted (Elo <= 0)", "H1 accepted (Elo >= 5)" or "no decision yet".
std::string describeSprt(const SprtParameters& parameters, const SprtState& state);
