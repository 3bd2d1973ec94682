// The tournament's table, built game by game from results: per player games, wins, ranks,
// stone shares, disqualifications by cause, per-seat counts and an Elo estimate from the
// pairwise outcomes that the final ranks give. The same results in the same order give the
// same table, whether they were played live or collected from files.
#pragma once

#include <array>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "arena/Elo.hpp"
#include "arena/GameResult.hpp"
#include "arena/Sprt.hpp"

struct PlayerStanding {
    std::string name;
    unsigned games = 0;
    // First places; a first place shared by k players counts 1/k for each.
    double wins = 0;
    double rankSum = 0;
    double shareSum = 0;
    // Disqualifications, indexed by DisqualifyCause (the None slot stays 0).
    std::array<unsigned, 5> disqualified{};
    // Pairwise outcomes against players of other names.
    PairCounts pairs;
    // Per seat, from seat 1: games played there and first places won there.
    std::vector<unsigned> seatGames;
    std::vector<double> seatWins;
    EloEstimate elo;

    double averageRank() const { return games > 0 ? rankSum / games : 0; }
    double stoneShare() const { return games > 0 ? shareSum / games : 0; }
};

// The final rank of every seat: 1 + the number of seats with a higher score, so that equal
// scores share a rank; disqualified seats (score -1) rank below everybody else.
std::vector<unsigned> ranksOf(const GameResult& result);

// The game's line for the "reversi.matchpoint" logger, with its line end, e.g.
// "game 3 classic8x8.map: bot 40 (rank 1), ai 24 (rank 2)".
std::string matchpointLine(const GameResult& result);

class Standings {
public:
    // Adds one game; games that did not finish only count in the totals.
    void add(const GameResult& result);

    unsigned finished() const { return m_finished; }
    unsigned stopped() const { return m_stopped; }
    unsigned failed() const { return m_failed; }
    // The players, best Elo first (ties by name).
    std::vector<PlayerStanding> players() const;
    // The outcomes of `a` against `b` over all their games.
    PairCounts headToHead(const std::string& a, const std::string& b) const;

    // The SPRT shown with the table, if any: its players and parameters.
    struct SprtSetup {
        std::string first, second;
        SprtParameters parameters;
    };
    std::string formatTable(const std::optional<SprtSetup>& sprt) const;
    std::string formatJson(const std::optional<SprtSetup>& sprt) const;
    std::string formatCsv() const;

private:
    PlayerStanding& player(const std::string& name);

    std::map<std::string, PlayerStanding> m_players;
    std::map<std::pair<std::string, std::string>, PairCounts> m_headToHead;
    unsigned m_finished = 0;
    unsigned m_stopped = 0;
    unsigned m_failed = 0;
};
