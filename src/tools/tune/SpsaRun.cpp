// The SPSA run: start values, the loop of iterations and the files it keeps up to date.
#include "tools/tune/SpsaRun.hpp"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <iomanip>
#include <iostream>
#include <random>
#include <sstream>

#include "arena/Tournament.hpp"
#include "common/FileIO.hpp"
#include "tools/tune/SpsaGames.hpp"

namespace fs = std::filesystem;

namespace {

constexpr const char* StateTag = "# reversi-tune spsa iteration";
constexpr const char* ThetaTag = "# theta";
// The largest params file and history read back.
constexpr std::size_t MaxParamsBytes = 1 << 20;
constexpr std::size_t MaxHistoryBytes = 256 << 20;

std::string number(double value) {
    std::ostringstream text;
    text << std::setprecision(8) << value;
    return text.str();
}

// The start values: the defaults, then the --params file, then for --resume the output of the
// run before with its state.
bool startValues(const SpsaOptions& options, SearchParams& base, SpsaState& state) {
    for (const std::string& path : {options.startParams, options.resume ? options.out : ""}) {
        if (path.empty()) {
            continue;
        }
        std::string text, reason;
        const bool read = readWholeFile(path, text, reason, MaxParamsBytes);
        std::istringstream in(text);
        if (!read || !readParams(base, in, path, reason)) {
            LOG(tuneLogger(), FATAL) << "Cannot read the parameters of " << path << ": " << reason;
            return false;
        }
        if (path == options.out && options.resume && !parseSpsaState(text, state)) {
            LOG(tuneLogger(), FATAL) << path << " was not written by reversi-tune spsa";
            return false;
        }
    }
    return true;
}

// The tuned parameters, from the start values or the unrounded values of a resumed run.
bool tunedParams(const SpsaOptions& options, const SearchParams& base, const SpsaState& state,
                 const SpsaSchedule& schedule, std::vector<SpsaParam>& tuned) {
    for (const std::string& text : options.tune) {
        SpsaParam param;
        std::string error;
        if (!parseTuneOption(text, base, schedule, param, error)) {
            LOG(tuneLogger(), FATAL) << "--tune " << error;
            return false;
        }
        if (std::any_of(tuned.begin(), tuned.end(),
                        [&param](const SpsaParam& p) { return p.info == param.info; })) {
            LOG(tuneLogger(), FATAL) << "--tune names " << param.info->name << " twice";
            return false;
        }
        for (const auto& [name, value] : state.theta) {
            param.theta = name == param.info->name ? value : param.theta;
        }
        tuned.push_back(param);
    }
    return true;
}

std::string historyHeader(const std::vector<SpsaParam>& tuned) {
    std::string header = "iteration";
    for (const SpsaParam& param : tuned) {
        header += std::string(",") + param.info->name;
    }
    return header + ",score,elo\n";
}

// A row of the history, and the same values on the terminal.
void recordIteration(const Spsa& spsa, unsigned iterations, std::string& history) {
    // Adding 0 turns the -0 of an even score into 0.
    const double elo = estimateElo(spsa.total()).elo + 0.0;
    std::ostringstream row, line;
    row << spsa.iteration();
    line << "iteration " << spsa.iteration() << "/" << iterations;
    for (const SpsaParam& param : spsa.params()) {
        row << ',' << number(param.theta);
        line << "  " << param.info->name << ' ' << std::fixed << std::setprecision(2)
             << param.theta;
    }
    row << ',' << number(spsa.lastScore()) << ',' << number(elo) << '\n';
    line << "  score " << std::setprecision(2) << spsa.lastScore() << "  elo(+/-) " << std::showpos
         << std::setprecision(1) << elo << '\n';
    history += row.str();
    std::cout << line.str() << std::flush;
}

bool saveFiles(const SpsaOptions& options, const Spsa& spsa, std::uint32_t seed,
               const std::string& history) {
    SpsaState state{spsa.iteration(), seed, spsa.total(), {}};
    for (const SpsaParam& param : spsa.params()) {
        state.theta.emplace_back(param.info->name, param.theta);
    }
    const std::string text = formatSpsaParams(spsa.current(), spsa.params(), state);
    std::string reason;
    if (!writeFileAtomically(options.out, text, reason) ||
        !writeFileAtomically(options.history, history, reason)) {
        LOG(tuneLogger(), FATAL) << "Cannot write the results: " << reason;
        return false;
    }
    return true;
}

} // namespace

std::string formatSpsaParams(const SearchParams& params, const std::vector<SpsaParam>& tuned,
                             const SpsaState& state) {
    std::ostringstream text;
    text << StateTag << ' ' << state.iteration << " seed " << state.seed << " outcomes "
         << number(state.total.wins) << ' ' << number(state.total.draws) << ' '
         << number(state.total.losses) << '\n';
    for (const auto& [name, value] : state.theta) {
        text << ThetaTag << ' ' << name << ' ' << number(value) << '\n';
    }
    for (const ParamInfo* info : paramsToName(params, tuned)) {
        text << info->name << ' ' << paramText(params, *info) << '\n';
    }
    return text.str();
}

bool parseSpsaState(const std::string& text, SpsaState& state) {
    std::istringstream lines(text);
    bool found = false;
    for (std::string line; std::getline(lines, line);) {
        std::istringstream words(line);
        std::string word, name;
        double value = 0;
        if (line.starts_with(StateTag)) {
            words.str(line.substr(std::string(StateTag).size()));
            PairCounts& total = state.total;
            found = (words >> state.iteration >> word >> state.seed >> word >> total.wins >>
                     total.draws >> total.losses) &&
                    total.wins >= 0 && total.draws >= 0 && total.losses >= 0 &&
                    std::isfinite(total.total());
        } else if (line.starts_with(ThetaTag) && (words >> word >> word >> name >> value)) {
            state.theta.emplace_back(name, value);
        }
    }
    return found;
}

namespace {

// The next iteration's games that have no result yet, one job each; an empty list once the run
// is over. The --out file is written first, since the jobs start from it.
bool emitJobs(const SpsaOptions& options, const Spsa& spsa, const SpsaGames& games,
              std::uint32_t seed, const std::string& history) {
    std::string jobs, reason;
    const SeatPlan missing = spsa.finished() ? SeatPlan{} : games.missing(spsa.iteration());
    for (const PlannedGame& game : missing) {
        jobs += options.jobCommand + std::to_string(game.index) + "\n";
    }
    if (!saveFiles(options, spsa, seed, history)) {
        return false;
    }
    if (!writeFileAtomically(options.jobsFile, jobs, reason)) {
        LOG(tuneLogger(), FATAL) << "Cannot write " << options.jobsFile << ": " << reason;
        return false;
    }
    if (spsa.finished()) {
        LOG(tuneLogger(), INFO) << "All " << options.iterations << " iterations are done; "
                                << options.jobsFile << " is empty";
    } else {
        LOG(tuneLogger(), INFO) << "Wrote " << missing.size() << " jobs of iteration "
                                << spsa.iteration() + 1 << " to " << options.jobsFile
                                << "; then take its step with --resume --collect";
    }
    return true;
}

bool collectStep(const SpsaOptions& options, Spsa& spsa, const SpsaGames& games, std::uint32_t seed,
                 std::string& history) {
    const unsigned k = spsa.iteration();
    if (!spsa.step([&games](unsigned next, const SpsaPair&) { return games.collect(next); })) {
        return false;
    }
    recordIteration(spsa, options.iterations, history);
    if (!saveFiles(options, spsa, seed, history)) {
        return false;
    }
    games.discard(k);
    return true;
}

bool playLive(const SpsaOptions& options, Spsa& spsa, const SpsaGames& games, std::uint32_t seed,
              std::string& history) {
    while (!spsa.finished()) {
        if (!spsa.step(
                [&games](unsigned k, const SpsaPair& pair) { return games.play(k, pair); })) {
            if (interruptingSignal() != 0) {
                LOG(tuneLogger(), WARN)
                    << "Stopped by signal " << interruptingSignal() << " in iteration "
                    << spsa.iteration() + 1 << "; go on with --resume";
            }
            return false;
        }
        recordIteration(spsa, options.iterations, history);
        if (!saveFiles(options, spsa, seed, history)) {
            return false;
        }
    }
    return true;
}

} // namespace

bool runSpsa(const SpsaOptions& options) {
    SearchParams base;
    SpsaState state;
    if (!startValues(options, base, state)) {
        return false;
    }
    const std::uint32_t seed =
        options.resume ? state.seed : options.seed.value_or(std::random_device{}());
    SpsaSchedule schedule;
    schedule.iterations = options.iterations;
    schedule.stability = options.stability.value_or(options.iterations / 10.0);
    std::vector<SpsaParam> tuned;
    std::vector<TuneMap> maps;
    const std::string work = fs::absolute(options.work).lexically_normal().string();
    if (!tunedParams(options, base, state, schedule, tuned) ||
        !prepareMaps(options.maps, options.generated, work + "/maps", seed, options.timelimit,
                     maps)) {
        return false;
    }
    std::string history, reason;
    if (!options.resume || !readWholeFile(options.history, history, reason, MaxHistoryBytes)) {
        history = historyHeader(tuned);
    }
    const GameSettings settings{
        options.serverPath, {}, work + "/games", options.timelimit, options.depthlimit};
    SpsaGames games(maps, settings, options.aiCommand, tuned, options.pairs, options.concurrency,
                    seed);
    Spsa spsa(base, tuned, schedule, seed, state.iteration, state.total);
    if ((options.singleGame > 0 || options.collect) && spsa.finished()) {
        LOG(tuneLogger(), FATAL) << "All " << options.iterations << " iterations are done";
        return false;
    }
    if (options.singleGame > 0) {
        return games.playOne(spsa.iteration(), spsa.pair(), options.singleGame);
    }
    if (options.collect && !collectStep(options, spsa, games, seed, history)) {
        return false;
    }
    if (!options.jobsFile.empty()) {
        return emitJobs(options, spsa, games, seed, history);
    }
    if (options.collect) {
        return true;
    }
    LOG(tuneLogger(), INFO) << "SPSA of " << tuned.size() << " parameters from iteration "
                            << spsa.iteration() << " of " << options.iterations << " (seed " << seed
                            << ")";
    return playLive(options, spsa, games, seed, history);
}
