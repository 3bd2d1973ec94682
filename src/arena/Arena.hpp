// The tournament program: plays games between player commands on one or more maps with every
// player in every seat equally often, and reports a table with ratings. It runs a tournament
// live, one game of it (for jobs spread over machines), writes the job list, or collects the
// results that such jobs left in a folder.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "arena/GameRun.hpp"
#include "arena/PlayerList.hpp"
#include "arena/SeatPlan.hpp"
#include "arena/Standings.hpp"
#include "common/Tool.hpp"

class Arena : public Tool {
public:
    Arena() = default;

protected:
    bool parseOptions(OPTA::ArgumentParser& parser) override;
    bool doRun() override;

private:
    struct CommandLine;
    // Checks of the parsed options; each mistake adds its message to `errors`.
    void checkModes(const CommandLine& line, std::vector<std::string>& errors) const;
    void readSprt(const CommandLine& line, std::vector<std::string>& errors);
    void readPlayers(std::vector<std::string>& errors);
    void checkLimits(const CommandLine& line, std::vector<std::string>& errors) const;

    // The plan and the settings from the options; false (logged) when a map cannot be read.
    bool prepare();
    bool runLive();
    bool runSingleGame();
    bool emitJobs();
    bool collect();
    // The games of the plan that still need playing; the results of the others go to
    // `results`. False when the folder holds results of another tournament.
    bool sortOutDone(std::vector<PlannedGame>& missing, std::vector<GameResult>& results) const;
    std::vector<std::chrono::milliseconds> boundsOf(const std::vector<PlannedGame>& games) const;
    // The table on standard output, results.json and results.csv in `dir`, with the SPRT's
    // verdict when there is one.
    bool report(std::vector<GameResult> results, const std::string& dir,
                const std::optional<Standings::SprtSetup>& sprt) const;
    std::optional<Standings::SprtSetup> sprtSetup(const std::vector<GameResult>& results) const;

    std::vector<std::string> m_playerOptions;
    std::vector<std::string> m_maps;
    unsigned m_games = 10;
    std::uint32_t m_timelimit = 1000;
    unsigned m_depthlimit = 0;
    unsigned m_concurrency = 0;
    std::string m_out = "arena-results";
    std::uint32_t m_seed = 0;
    bool m_seedGiven = false;
    std::string m_sprtText;
    std::optional<SprtParameters> m_sprt;
    std::string m_jobsFile;
    unsigned m_singleGame = 0;
    std::string m_collectDir;
    std::string m_serverPath;

    std::vector<PlayerEntry> m_players;
    SeatPlan m_plan;
    // Per map: the bound on one game.
    std::vector<std::chrono::milliseconds> m_mapBounds;
    GameSettings m_settings;
};
