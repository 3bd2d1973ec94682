// reversi-tune texel: fits the evaluation's weights (the scalar ones of SearchParams and the
// pattern tables) to the results of recorded games, by the Texel method (TexelFit).
#pragma once

#include <string>
#include <vector>

#include "common/GameRecord.hpp"
#include "search/SearchParams.hpp"
#include "tools/tune/TexelFit.hpp"

// The evaluation weights the fit changes, in this order before the pattern tables.
const std::vector<std::string>& texelScalarNames();

// How positions are taken from a game.
struct TexelSampling {
    // One position after every `every` events, from event `skip` on.
    unsigned every = 3;
    unsigned skip = 4;
};

// The result of a finished game for player p (1 ... n): 1 for the sole first, 0 for the sole
// last, linear in the rank between, shared ranks averaged; disqualified players rank last.
double rankScore(const std::vector<int>& scores, unsigned p);

// The build-phase positions of a finished game with their features under `params` (weights
// texelScalarNames() first, then the pattern tables) and the result for the player to move.
// False with a message when the record cannot be replayed.
bool texelPositions(const GameRecordData& record, const SearchParams& params,
                    const TexelSampling& sampling, std::vector<TexelPosition>& out,
                    std::string& error);

// The weight vector of `params` in the fit's order, and `params` with the fitted weights put
// back (rounded to whole evaluation points, the patterns at 100 per cent).
std::vector<double> texelWeights(const SearchParams& params);
SearchParams texelParams(const SearchParams& start, const std::vector<double>& weights);

// What reversi-tune texel does with its options.
struct TexelRun {
    std::vector<std::string> train;
    std::vector<std::string> test;
    SearchParams start;
    TexelSampling sampling;
    TexelOptions options;
    // The L2 penalties of the scalar weights (from their start values) and of the pattern
    // weights.
    double scalarL2 = 1e-4;
    double patternL2 = 1e-6;
    std::string paramsOut;
    std::string patternsOut;
};

// Reads the records, fits, prints the losses before and after and writes the files; false with
// the reason on standard error.
bool runTexel(TexelRun& run);
