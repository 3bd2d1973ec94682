// Simultaneous perturbation stochastic approximation (SPSA) over search parameters: each
// iteration plays two copies of the player against each other, one with every tuned value moved
// up or down by a random sign times its step, the other moved the opposite way, and moves the
// values towards the side that scored better. How the games are played is handed in, so that
// the same update runs against real games and against a synthetic objective.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "arena/Elo.hpp"
#include "search/SearchParams.hpp"

// One tuned parameter: its entry in the parameter table, its current value (real even for an
// integer parameter, which is rounded only where it is used), its perturbation c and its
// learning rate a, both as at the first iteration.
struct SpsaParam {
    const ParamInfo* info = nullptr;
    double theta = 0;
    double c = 0;
    double a = 0;
};

// The schedules of Spall: at iteration k (from 0) the perturbation is c / (k + 1)^gamma and the
// learning rate a / (A + k + 1)^alpha, with the stability constant A about a tenth of the
// iterations.
struct SpsaSchedule {
    unsigned iterations = 100;
    double stability = 10;
    double alpha = 0.602;
    double gamma = 0.101;
};

// The perturbation of a parameter by default: a hundredth of its range, at least 1 for an
// integer parameter.
double defaultPerturbation(const ParamInfo& info);
// The learning rate by default: a game pair won outright at the first iteration moves the value
// by half its perturbation.
double defaultLearningRate(double c, const SpsaSchedule& schedule);

// Reads "NAME", "NAME:C" or "NAME:C:A" for a parameter with its start value taken from `start`;
// false with the reason in `error` for an unknown name or a step that is not a positive number.
bool parseTuneOption(const std::string& text, const SearchParams& start,
                     const SpsaSchedule& schedule, SpsaParam& param, std::string& error);

// The value clamped to the parameter's range, and rounded for an integer parameter.
double usableValue(const ParamInfo& info, double value);
// `base` with every tuned parameter set to its usable value of `values` (one per parameter).
SearchParams applyValues(const SearchParams& base, const std::vector<SpsaParam>& params,
                         const std::vector<double>& values);

// The two sides of an iteration and the parameters of the other seats (the current values).
struct SpsaPair {
    SearchParams plus;
    SearchParams minus;
    SearchParams current;
};

// Plays the games of iteration k and gives the outcomes of plus against minus; none when the
// games were interrupted.
using PlayIteration = std::function<std::optional<PairCounts>(unsigned k, const SpsaPair& pair)>;

class Spsa {
public:
    // Starts at iteration `first` with the outcomes `total` so far, as a run resumed after
    // `first` iterations does.
    Spsa(const SearchParams& base, std::vector<SpsaParam> params, const SpsaSchedule& schedule,
         std::uint32_t seed, unsigned first = 0, const PairCounts& total = {});

    // Plays one iteration and updates the values; false when it was interrupted (nothing
    // changes then).
    bool step(const PlayIteration& play);
    // The sides the next iteration plays.
    SpsaPair pair() const;

    unsigned iteration() const { return m_iteration; }
    bool finished() const { return m_iteration >= m_schedule.iterations; }
    const std::vector<SpsaParam>& params() const { return m_params; }
    // The base with the current values applied.
    SearchParams current() const;
    // The score of plus in the last iteration, and the outcomes of plus against minus over all
    // iterations.
    double lastScore() const { return m_lastScore; }
    const PairCounts& total() const { return m_total; }

private:
    // The sign of each parameter's perturbation in the next iteration, and its size there as
    // a share of c.
    std::vector<double> signs() const;
    double perturbation() const;
    // The plus and minus values for those signs and that size.
    SpsaPair sides(const std::vector<double>& delta, double ck) const;

    SearchParams m_base;
    std::vector<SpsaParam> m_params;
    SpsaSchedule m_schedule;
    std::uint32_t m_seed;
    unsigned m_iteration;
    double m_lastScore = 0.5;
    PairCounts m_total;
};

// The parameters a params file or a command line has to name so that a reader starting from
// the defaults gets `params`: those that differ from the default, and the tuned ones always.
std::vector<const ParamInfo*> paramsToName(const SearchParams& params,
                                           const std::vector<SpsaParam>& tuned);
