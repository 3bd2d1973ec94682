// The SPSA update: perturbations, the schedules and the step from one iteration's score.
#include "tools/tune/Spsa.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <random>

namespace {

// A positive finite number, the whole text.
bool parsePositive(std::string_view text, double& value) {
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    return !text.empty() && result.ec == std::errc() && result.ptr == end && std::isfinite(value) &&
           value > 0;
}

const ParamInfo* findParam(std::string_view name) {
    const auto table = paramTable();
    const auto found = std::find_if(table.begin(), table.end(),
                                    [name](const ParamInfo& info) { return info.name == name; });
    return found == table.end() ? nullptr : &*found;
}

double valueOf(const SearchParams& params, const ParamInfo& info) {
    return info.integer != nullptr ? params.*(info.integer) : params.*(info.real);
}

} // namespace

double defaultPerturbation(const ParamInfo& info) {
    const double c = (info.max - info.min) / 100;
    return info.integer != nullptr ? std::max(1.0, c) : c;
}

double defaultLearningRate(double c, const SpsaSchedule& schedule) {
    return 0.5 * c * c * std::pow(schedule.stability + 1, schedule.alpha);
}

bool parseTuneOption(const std::string& text, const SearchParams& start,
                     const SpsaSchedule& schedule, SpsaParam& param, std::string& error) {
    const std::size_t first = text.find(':');
    const std::size_t second = first == std::string::npos ? first : text.find(':', first + 1);
    const std::string name = text.substr(0, first);
    param.info = findParam(name);
    if (param.info == nullptr) {
        error = "unknown parameter '" + name + "' (see reversi-ai --list-params)";
        return false;
    }
    param.theta = valueOf(start, *param.info);
    param.c = defaultPerturbation(*param.info);
    const bool cGiven = first != std::string::npos;
    const bool aGiven = second != std::string::npos;
    const std::string_view rest(text.c_str() + (cGiven ? first + 1 : text.size()));
    if ((cGiven && !parsePositive(rest.substr(0, rest.find(':')), param.c)) ||
        (aGiven && !parsePositive(text.substr(second + 1), param.a))) {
        error = "'" + text + "': give NAME, NAME:C or NAME:C:A with C and A positive numbers";
        return false;
    }
    if (!aGiven) {
        param.a = defaultLearningRate(param.c, schedule);
    }
    return true;
}

double usableValue(const ParamInfo& info, double value) {
    const double clamped = std::clamp(value, info.min, info.max);
    return info.integer != nullptr ? std::round(clamped) : clamped;
}

SearchParams applyValues(const SearchParams& base, const std::vector<SpsaParam>& params,
                         const std::vector<double>& values) {
    SearchParams result = base;
    for (std::size_t i = 0; i < params.size() && i < values.size(); ++i) {
        const ParamInfo& info = *params[i].info;
        const double value = usableValue(info, values[i]);
        if (info.integer != nullptr) {
            result.*(info.integer) = static_cast<int>(value);
        } else {
            result.*(info.real) = value;
        }
    }
    return result;
}

Spsa::Spsa(const SearchParams& base, std::vector<SpsaParam> params, const SpsaSchedule& schedule,
           std::uint32_t seed, unsigned first, const PairCounts& total)
    : m_base(base), m_params(std::move(params)), m_schedule(schedule), m_seed(seed),
      m_iteration(first), m_total(total) {}

SearchParams Spsa::current() const {
    std::vector<double> values;
    for (const SpsaParam& param : m_params) {
        values.push_back(param.theta);
    }
    return applyValues(m_base, m_params, values);
}

// The signs of an iteration depend only on the seed and the iteration's number, so that a
// resumed run draws what the uninterrupted one would have drawn, and a job of an iteration
// played elsewhere plays the same pair.
std::vector<double> Spsa::signs() const {
    std::seed_seq seeds{m_seed, m_iteration};
    std::mt19937 random(seeds);
    std::vector<double> delta;
    for (std::size_t i = 0; i < m_params.size(); ++i) {
        delta.push_back(std::bernoulli_distribution(0.5)(random) ? 1.0 : -1.0);
    }
    return delta;
}

double Spsa::perturbation() const {
    return 1 / std::pow(m_iteration + 1.0, m_schedule.gamma);
}

SpsaPair Spsa::sides(const std::vector<double>& delta, double ck) const {
    std::vector<double> plus, minus;
    for (std::size_t i = 0; i < m_params.size(); ++i) {
        const SpsaParam& param = m_params[i];
        plus.push_back(param.theta + param.c * ck * delta[i]);
        minus.push_back(param.theta - param.c * ck * delta[i]);
    }
    return {applyValues(m_base, m_params, plus), applyValues(m_base, m_params, minus), current()};
}

SpsaPair Spsa::pair() const {
    return sides(signs(), perturbation());
}

bool Spsa::step(const PlayIteration& play) {
    const double ck = perturbation();
    const double ak = 1 / std::pow(m_schedule.stability + m_iteration + 1, m_schedule.alpha);
    const std::vector<double> delta = signs();
    const SpsaPair pair = sides(delta, ck);
    const std::optional<PairCounts> outcome = play(m_iteration, pair);
    if (!outcome) {
        return false;
    }
    m_lastScore = outcome->score();
    const double r = 2 * m_lastScore - 1;
    for (std::size_t i = 0; i < m_params.size(); ++i) {
        SpsaParam& param = m_params[i];
        param.theta += param.a * ak * r / (param.c * ck * delta[i]);
        param.theta = std::clamp(param.theta, param.info->min, param.info->max);
    }
    m_total.wins += outcome->wins;
    m_total.draws += outcome->draws;
    m_total.losses += outcome->losses;
    ++m_iteration;
    return true;
}

std::vector<const ParamInfo*> paramsToName(const SearchParams& params,
                                           const std::vector<SpsaParam>& tuned) {
    const SearchParams defaults;
    std::vector<const ParamInfo*> named;
    for (const ParamInfo& info : paramTable()) {
        const bool isTuned = std::any_of(tuned.begin(), tuned.end(),
                                         [&info](const SpsaParam& p) { return p.info == &info; });
        if (isTuned || paramText(params, info) != paramText(defaults, info)) {
            named.push_back(&info);
        }
    }
    return named;
}
