// Positions and their features from game records, and the run of reversi-tune texel.
#include "tools/tune/Texel.hpp"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <sstream>

#include "common/FileIO.hpp"
#include "search/Evaluation.hpp"
#include "search/SearchBoard.hpp"

namespace {

// A feature's weight is set to this many points alone, so that the integer arithmetic of the
// evaluation keeps its fractions.
constexpr int UnitWeight = 256;

int& intParam(SearchParams& params, const std::string& name) {
    const auto table = paramTable();
    const auto info = std::find_if(table.begin(), table.end(),
                                   [&](const ParamInfo& p) { return name == p.name; });
    return params.*(info->integer);
}

// The evaluators one record needs: with the weights as they are (to find the strongest
// opponent and the patterns), with every fitted weight zero, and with one at UnitWeight each.
struct RecordEvaluators {
    explicit RecordEvaluators(const Map& map, const SearchParams& params)
        : start(map), base(start, params), zero(start, zeroed(params)) {
        for (const std::string& name : texelScalarNames()) {
            SearchParams unit = zeroed(params);
            intParam(unit, name) = UnitWeight;
            units.push_back(std::make_unique<Evaluator>(start, unit));
        }
    }
    static SearchParams zeroed(SearchParams params) {
        for (const std::string& name : texelScalarNames()) {
            intParam(params, name) = 0;
        }
        params.patternPercent = 0;
        return params;
    }

    SearchBoard start;
    Evaluator base;
    Evaluator zero;
    std::vector<std::unique_ptr<Evaluator>> units;
};

// root's score against `opponent` under one evaluator, the parity included.
double against(const Evaluator& evaluator, const SearchBoard& board, Player root, Player opponent) {
    const auto score = evaluator.playerScores(board);
    return score[static_cast<unsigned>(root)] - score[static_cast<unsigned>(opponent)] +
           evaluator.parityScore(board, root);
}

// The opponent still in the game with the highest score under the current weights;
// P_INVALID when there is none.
Player strongestOpponent(const Evaluator& evaluator, const SearchBoard& board, Player root) {
    const auto score = evaluator.playerScores(board);
    Player strongest = Player::P_INVALID;
    for (unsigned p = 1; p <= board.players(); ++p) {
        const auto player = static_cast<Player>(p);
        if (player != root && !board.isDisqualified(player) &&
            (strongest == Player::P_INVALID ||
             score[p] > score[static_cast<unsigned>(strongest)])) {
            strongest = player;
        }
    }
    return strongest;
}

// The features of the position for the player to move; false when it has no opponent left.
bool positionFeatures(const RecordEvaluators& evaluators, const SearchBoard& board,
                      TexelPosition& position) {
    const Player root = board.toMove();
    const Player opponent = strongestOpponent(evaluators.base, board, root);
    if (opponent == Player::P_INVALID) {
        return false;
    }
    const double offset = against(evaluators.zero, board, root, opponent);
    position.offset = static_cast<float>(offset);
    for (std::uint32_t j = 0; j < evaluators.units.size(); ++j) {
        const double value =
            (against(*evaluators.units[j], board, root, opponent) - offset) / UnitWeight;
        if (value != 0) {
            position.features.emplace_back(j, static_cast<float>(value));
        }
    }
    const auto patternBase = static_cast<std::uint32_t>(texelScalarNames().size());
    if (!evaluators.base.patternsCount(board)) {
        return true;
    }
    evaluators.base.patterns().forEachIndex(board, [&](Player p, unsigned index) {
        if (p == root || p == opponent) {
            position.features.emplace_back(patternBase + index, p == root ? 1.0f : -1.0f);
        }
    });
    return true;
}

// The record files of a path: the file itself, or every .record and .rec file below a folder,
// in name order.
std::vector<std::string> recordFiles(const std::vector<std::string>& paths) {
    std::vector<std::string> files;
    for (const std::string& path : paths) {
        std::error_code error;
        if (!std::filesystem::is_directory(path, error)) {
            files.push_back(path);
            continue;
        }
        std::vector<std::string> found;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(path, error)) {
            const auto extension = entry.path().extension();
            if (entry.is_regular_file() && (extension == ".record" || extension == ".rec")) {
                found.push_back(entry.path().string());
            }
        }
        std::sort(found.begin(), found.end());
        files.insert(files.end(), found.begin(), found.end());
    }
    return files;
}

// One line of progress on standard error: redrawn in place on a terminal, else every 10th.
void showProgress(const std::string& text, bool last) {
    static const bool terminal = isatty(fileno(stderr)) != 0;
    static unsigned count = 0;
    if (terminal) {
        std::cerr << '\r' << text << "\033[K" << (last ? "\n" : "") << std::flush;
    } else if (last || ++count % 10 == 0) {
        std::cerr << text << '\n';
    }
}

// The positions of every readable record of `paths`; records that cannot be read or replayed
// are skipped with one line each.
std::vector<TexelPosition> loadPositions(const std::vector<std::string>& files, const TexelRun& run,
                                         const char* what) {
    std::vector<TexelPosition> positions;
    for (std::size_t k = 0; k < files.size(); ++k) {
        GameRecordData record;
        std::string error;
        if (!loadGameRecord(files[k], record, error) ||
            !texelPositions(record, run.start, run.sampling, positions, error)) {
            std::cerr << "reversi-tune: skipped " << files[k] << ": " << error << '\n';
        }
        showProgress(std::string(what) + ": " + std::to_string(k + 1) + "/" +
                         std::to_string(files.size()) + " games, " +
                         std::to_string(positions.size()) + " positions",
                     k + 1 == files.size());
    }
    return positions;
}

bool writeResults(const TexelRun& run, const SearchParams& fitted) {
    std::string reason;
    std::ostringstream params;
    params << "# Evaluation weights fitted by reversi-tune texel\n";
    for (const ParamInfo& info : paramTable()) {
        params << info.name << ' ' << paramText(fitted, info) << '\n';
    }
    std::ostringstream patterns;
    fitted.patterns->write(patterns);
    if ((!run.paramsOut.empty() && !writeFileAtomically(run.paramsOut, params.str(), reason)) ||
        (!run.patternsOut.empty() &&
         !writeFileAtomically(run.patternsOut, patterns.str(), reason))) {
        std::cerr << "reversi-tune: cannot write the results: " << reason << '\n';
        return false;
    }
    return true;
}

} // namespace

const std::vector<std::string>& texelScalarNames() {
    static const std::vector<std::string> names = {"stoneWeightEarly",
                                                   "stoneWeightLate",
                                                   "survivalPenalty",
                                                   "cornerValue",
                                                   "edgeValue",
                                                   "twoAxesValue",
                                                   "cornerDiagonalPenalty",
                                                   "cornerLinePenalty",
                                                   "mobilityWeight",
                                                   "potentialMobilityWeight",
                                                   "frontierWeight",
                                                   "overrideValue",
                                                   "bombBaseValue",
                                                   "bombAreaValue",
                                                   "parityBonus",
                                                   "stabilityWeight"};
    return names;
}

double rankScore(const std::vector<int>& scores, unsigned p) {
    if (p == 0 || p > scores.size() || scores.size() < 2) {
        return 0.5;
    }
    const int own = scores[p - 1];
    double above = 0;
    for (std::size_t q = 0; q < scores.size(); ++q) {
        if (q + 1 != p) {
            above += scores[q] > own ? 1.0 : scores[q] == own ? 0.5 : 0.0;
        }
    }
    return 1.0 - above / static_cast<double>(scores.size() - 1);
}

bool texelPositions(const GameRecordData& record, const SearchParams& params,
                    const TexelSampling& sampling, std::vector<TexelPosition>& out,
                    std::string& error) {
    RecordReplay replay;
    if (!record.finished || !replay.start(record, error)) {
        error = record.finished ? error : "the game is not finished";
        return false;
    }
    if (record.scores.size() != replay.map().getPlayers()) {
        error = "the scores do not fit the map";
        return false;
    }
    const RecordEvaluators evaluators(replay.map(), params);
    const unsigned every = std::max(sampling.every, 1u);
    while (!replay.atEnd()) {
        if (!replay.step(error)) {
            return false;
        }
        const auto events = static_cast<unsigned>(replay.position());
        if (events < sampling.skip || events % every != 0) {
            continue;
        }
        const SearchBoard board(replay.game());
        if (board.phase() != GamePhase::BUILD || board.isDisqualified(board.toMove())) {
            continue;
        }
        TexelPosition position;
        position.label =
            static_cast<float>(rankScore(record.scores, static_cast<unsigned>(board.toMove())));
        if (positionFeatures(evaluators, board, position)) {
            out.push_back(std::move(position));
        }
    }
    return true;
}

std::vector<double> texelWeights(const SearchParams& params) {
    std::vector<double> weights;
    SearchParams copy = params;
    for (const std::string& name : texelScalarNames()) {
        weights.push_back(intParam(copy, name));
    }
    const double percent = params.patternPercent / 100.0;
    for (int w : params.patterns->weights) {
        weights.push_back(w * percent);
    }
    return weights;
}

SearchParams texelParams(const SearchParams& start, const std::vector<double>& weights) {
    SearchParams params = start;
    const auto& names = texelScalarNames();
    for (std::size_t j = 0; j < names.size(); ++j) {
        intParam(params, names[j]) = static_cast<int>(std::lround(weights[j]));
    }
    auto patterns = std::make_shared<PatternWeights>();
    for (std::size_t k = 0; k < patterns->weights.size(); ++k) {
        const double w = std::clamp(weights[names.size() + k], -1.0 * PatternWeights::Limit,
                                    1.0 * PatternWeights::Limit);
        patterns->weights[k] = static_cast<int>(std::lround(w));
    }
    params.patterns = patterns;
    params.patternPercent = 100;
    return params;
}

// The held-out games are those of run.test, or every fifth game of the training records.
bool runTexel(TexelRun& run) {
    std::vector<std::string> train = recordFiles(run.train);
    std::vector<std::string> test = recordFiles(run.test);
    if (test.empty()) {
        std::vector<std::string> kept;
        for (std::size_t k = 0; k < train.size(); ++k) {
            (k % 5 == 4 ? test : kept).push_back(train[k]);
        }
        train = std::move(kept);
    }
    const auto trainPositions = loadPositions(train, run, "training");
    const auto testPositions = loadPositions(test, run, "held out");
    if (trainPositions.empty()) {
        std::cerr << "reversi-tune: no positions to fit\n";
        return false;
    }
    const std::vector<double> before = texelWeights(run.start);
    std::vector<double> weights = before;
    const std::size_t scalars = texelScalarNames().size();
    run.options.fitted.assign(weights.size(), true);
    run.options.l2.assign(weights.size(), run.patternL2);
    std::fill(run.options.l2.begin(), run.options.l2.begin() + scalars, run.scalarL2);
    const double scale = fitTexelScale(trainPositions, weights);
    std::printf("positions: %zu training, %zu held out; K = %.6g\n", trainPositions.size(),
                testPositions.size(), scale);
    std::printf("loss before: training %.6f, held out %.6f\n",
                texelLoss(trainPositions, weights, scale),
                texelLoss(testPositions, weights, scale));
    std::fflush(stdout);
    fitTexelWeights(trainPositions, weights, scale, run.options, [](unsigned t, double loss) {
        showProgress("iteration " + std::to_string(t) + " loss " + std::to_string(loss), false);
    });
    showProgress("fit done", true);
    const SearchParams fitted = texelParams(run.start, weights);
    const std::vector<double> rounded = texelWeights(fitted);
    std::printf("loss after: training %.6f, held out %.6f\n",
                texelLoss(trainPositions, rounded, scale),
                texelLoss(testPositions, rounded, scale));
    for (std::size_t j = 0; j < scalars; ++j) {
        std::printf("  %s %g -> %g\n", texelScalarNames()[j].c_str(), before[j], rounded[j]);
    }
    return writeResults(run, fitted);
}
