// A whole SPSA run of reversi-tune: the start values (defaults, a params file, or the output
// of an interrupted run), the maps, the iterations with a line of progress each, and after each
// iteration the params file and a row of the history written, so that a run stopped at any
// moment can go on from its last iteration.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "arena/Elo.hpp"
#include "search/SearchParams.hpp"
#include "tools/tune/TuneMaps.hpp"

struct SpsaOptions {
    // NAME, NAME:C or NAME:C:A per tuned parameter.
    std::vector<std::string> tune;
    std::vector<std::string> maps;
    std::vector<MapBatch> generated;
    std::uint32_t timelimit = 0;
    unsigned depthlimit = 0;
    unsigned iterations = 100;
    unsigned pairs = 2;
    unsigned concurrency = 1;
    // The schedules' stability constant A; a tenth of the iterations when not given.
    std::optional<double> stability;
    std::string out = "spsa.params";
    std::string history;
    // Start values of every parameter, tuned or not.
    std::string startParams;
    bool resume = false;
    std::optional<std::uint32_t> seed;
    // The shell command of a player, with {host} {port} {seed}; the parameters are appended.
    std::string aiCommand;
    std::string serverPath;
    // Generated maps and the games of the current iteration go here.
    std::string work = "spsa-work";
    // Games as jobs that may run on other machines sharing the folders: the file the shell
    // commands of the next iteration's games are written to (one per line), the game a job
    // plays, and whether the next iteration's step is taken from its games' result files.
    std::string jobsFile;
    unsigned singleGame = 0;
    bool collect = false;
    // A job's shell command without the number of its game at the end.
    std::string jobCommand;
};

// What a params file written by a run holds besides the parameters: how far the run got.
struct SpsaState {
    unsigned iteration = 0;
    std::uint32_t seed = 0;
    PairCounts total;
    // The unrounded value of each tuned parameter, by name.
    std::vector<std::pair<std::string, double>> theta;
};

// The params file: a comment with the state, one with each unrounded value, then one
// "NAME VALUE" line per parameter that paramsToName names.
std::string formatSpsaParams(const SearchParams& params, const std::vector<SpsaParam>& tuned,
                             const SpsaState& state);
// The state from the comments of such a file; false when the file holds none.
bool parseSpsaState(const std::string& text, SpsaState& state);

// Plays the run, or with jobs one step of it (a game, the step from the results, the list of
// the next games); false (logged) when it could not start or was interrupted.
bool runSpsa(const SpsaOptions& options);
