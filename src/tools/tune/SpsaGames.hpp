// The games of an SPSA iteration, played by the arena's runner: the plus and the minus copy of
// reversi-ai in game pairs with their seats swapped, the other seats of a larger map filled with
// copies at the current values, and the outcome of plus against minus read from the ranks.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "arena/Elo.hpp"
#include "arena/GameRun.hpp"
#include "arena/SeatPlan.hpp"
#include "arena/Tournament.hpp"
#include "tools/tune/Spsa.hpp"

// A map to play on: its file, its number of seats and the bound on one game.
struct TuneMap {
    std::string path;
    std::size_t seats = 2;
    std::chrono::milliseconds bound{0};
};

// The player entries of every iteration, in this order.
enum TuneEntry : std::size_t { PlusEntry = 0, MinusEntry = 1, CurrentEntry = 2 };

// The games of iteration k, numbered from 1: `pairs` game pairs, pair p of the run (counted over
// all iterations) on map p mod M. In a pair plus and minus swap their seats; which seats they
// take moves on from pair to pair, so that over the run each meets the other from every seat.
SeatPlan planIteration(const std::vector<TuneMap>& maps, unsigned k, unsigned pairs,
                       std::uint32_t seed);

// The outcome of plus against minus in a game, added to `counts`: by final rank, a shared rank
// a draw. A game that did not finish adds nothing.
void addOutcome(const GameResult& result, PairCounts& counts);

// " --param NAME=VALUE" for every parameter named by paramsToName, quoted for the shell.
std::string paramArguments(const SearchParams& params, const std::vector<SpsaParam>& tuned);

// An iteration's games, played here (all of them, up to J at a time) or as jobs of a list, one
// game per job, which may run on other machines that share the folders.
class SpsaGames {
public:
    // `settings` gives the server, the folder of the games (one folder per iteration in it)
    // and the limits; its players are set per iteration from `aiCommand` and the parameters of
    // each side.
    SpsaGames(std::vector<TuneMap> maps, const GameSettings& settings, std::string aiCommand,
              std::vector<SpsaParam> tuned, unsigned pairs, unsigned concurrency,
              std::uint32_t seed);

    // The games of iteration k.
    SeatPlan plan(unsigned k) const;
    // Plays iteration k; none when the run was interrupted or a player could not start.
    std::optional<PairCounts> play(unsigned k, const SpsaPair& pair) const;
    // Plays game `index` of iteration k beside the others in the games folder; true when it
    // finished or had been played already.
    bool playOne(unsigned k, const SpsaPair& pair, unsigned index) const;
    // The games of iteration k that have no result in the games folder yet.
    SeatPlan missing(unsigned k) const;
    // The outcomes of iteration k from the games folder; none (logged) while a game of it has
    // no result.
    std::optional<PairCounts> collect(unsigned k) const;
    // Removes the games of iteration k once its step is taken.
    void discard(unsigned k) const;

private:
    std::string gamesDir(unsigned k) const;
    // The settings of iteration k's games: its folder, and the players of the pair's sides.
    GameSettings settingsFor(unsigned k, const SpsaPair& pair) const;
    RunRequest request(SeatPlan games) const;
    SeatPlan gather(unsigned k, PairCounts& counts) const;

    std::vector<TuneMap> m_maps;
    GameSettings m_settings;
    std::string m_aiCommand;
    std::vector<SpsaParam> m_tuned;
    unsigned m_pairs;
    unsigned m_concurrency;
    std::uint32_t m_seed;
};
