// The logistic model, its loss and its two fits.
#include "tools/tune/TexelFit.hpp"

#include <algorithm>
#include <cmath>

namespace {

double sigmoid(double x) {
    return 1.0 / (1.0 + std::exp(-x));
}

// The log-loss of one prediction, with the probability kept off 0 and 1.
double positionLoss(double predicted, double label) {
    const double p = std::clamp(predicted, 1e-12, 1.0 - 1e-12);
    return -(label * std::log(p) + (1.0 - label) * std::log(1.0 - p));
}

} // namespace

double texelScore(const TexelPosition& position, const std::vector<double>& weights) {
    double score = position.offset;
    for (const auto& [index, value] : position.features) {
        score += weights[index] * value;
    }
    return score;
}

double texelLoss(const std::vector<TexelPosition>& positions, const std::vector<double>& weights,
                 double scale) {
    double sum = 0;
    for (const TexelPosition& position : positions) {
        sum += positionLoss(sigmoid(scale * texelScore(position, weights)), position.label);
    }
    return positions.empty() ? 0.0 : sum / static_cast<double>(positions.size());
}

// The loss is convex in K (a logistic regression on one feature): a ternary search over
// log K between 1e-6 and 10 finds its minimum.
double fitTexelScale(const std::vector<TexelPosition>& positions,
                     const std::vector<double>& weights) {
    double low = std::log(1e-6);
    double high = std::log(10.0);
    for (unsigned step = 0; step < 60; ++step) {
        const double a = low + (high - low) / 3;
        const double b = high - (high - low) / 3;
        if (texelLoss(positions, weights, std::exp(a)) <
            texelLoss(positions, weights, std::exp(b))) {
            high = b;
        } else {
            low = a;
        }
    }
    return std::exp((low + high) / 2);
}

// Full-batch Adam: the gradient of the mean log-loss by weight w_i is
// mean((p - label) * K * feature_i), plus 2 * l2_i * (w_i - start_i).
void fitTexelWeights(const std::vector<TexelPosition>& positions, std::vector<double>& weights,
                     double scale, const TexelOptions& options,
                     const std::function<void(unsigned, double)>& progress) {
    constexpr double Beta1 = 0.9;
    constexpr double Beta2 = 0.999;
    constexpr double Epsilon = 1e-8;
    const std::size_t n = weights.size();
    const std::vector<double> start = weights;
    std::vector<double> gradient(n);
    std::vector<double> first(n, 0.0);
    std::vector<double> second(n, 0.0);
    const double perPosition =
        positions.empty() ? 0.0 : 1.0 / static_cast<double>(positions.size());
    for (unsigned t = 1; t <= options.iterations; ++t) {
        std::fill(gradient.begin(), gradient.end(), 0.0);
        double loss = 0;
        for (const TexelPosition& position : positions) {
            const double p = sigmoid(scale * texelScore(position, weights));
            loss += positionLoss(p, position.label);
            const double error = (p - position.label) * scale * perPosition;
            for (const auto& [index, value] : position.features) {
                gradient[index] += error * value;
            }
        }
        for (std::size_t i = 0; i < n; ++i) {
            if (i >= options.fitted.size() || !options.fitted[i]) {
                continue;
            }
            const double l2 = i < options.l2.size() ? options.l2[i] : 0.0;
            const double g = gradient[i] + 2 * l2 * (weights[i] - start[i]);
            first[i] = Beta1 * first[i] + (1 - Beta1) * g;
            second[i] = Beta2 * second[i] + (1 - Beta2) * g * g;
            const double m = first[i] / (1 - std::pow(Beta1, t));
            const double v = second[i] / (1 - std::pow(Beta2, t));
            weights[i] -= options.rate * m / (std::sqrt(v) + Epsilon);
        }
        if (progress && (t % 10 == 0 || t == options.iterations)) {
            progress(t, loss * perPosition);
        }
    }
}
