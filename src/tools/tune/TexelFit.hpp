// The fit of the Texel method: a logistic model of game results on a linear evaluation,
// p = sigmoid(K * e), with e = offset + sum of weight x feature over a sparse feature list per
// position. K is fitted first with the weights as they are, then the weights by Adam on the
// log-loss with an L2 penalty on each weight's distance from where it started.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

// One position: its features (weight index, value), the part of its evaluation that no fitted
// weight changes, and the result for the player to move (1 first, 0 last, in between by rank).
struct TexelPosition {
    std::vector<std::pair<std::uint32_t, float>> features;
    float offset = 0;
    float label = 0;
};

struct TexelOptions {
    unsigned iterations = 300;
    // Adam's step, in evaluation points.
    double rate = 1.0;
    // The weights the fit may change; the others keep their values.
    std::vector<bool> fitted;
    // Per weight, the L2 penalty per unit of squared distance from its start value, added to
    // the mean log-loss (none for a weight beyond the list).
    std::vector<double> l2;
};

// The evaluation of a position under `weights`.
double texelScore(const TexelPosition& position, const std::vector<double>& weights);
// The mean log-loss of the positions under the model.
double texelLoss(const std::vector<TexelPosition>& positions, const std::vector<double>& weights,
                 double scale);
// The K of least log-loss with the weights as they are (a search over its logarithm).
double fitTexelScale(const std::vector<TexelPosition>& positions,
                     const std::vector<double>& weights);
// Adam on the mean log-loss plus the penalties; reports (iteration, training loss) now and then.
void fitTexelWeights(const std::vector<TexelPosition>& positions, std::vector<double>& weights,
                     double scale, const TexelOptions& options,
                     const std::function<void(unsigned, double)>& progress);
