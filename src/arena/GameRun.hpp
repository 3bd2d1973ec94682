// One game on its way: a server on a free port, the players started one seat after the other
// (the server numbers players in the order they join, so this is how seats are assigned), the
// wait for the end under a bound, and the result read from the server's record.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "arena/ChildProcess.hpp"
#include "arena/GameResult.hpp"
#include "arena/PlayerList.hpp"
#include "arena/SeatPlan.hpp"
#include "common/Logging.hpp"

using Clock = std::chrono::steady_clock;

// What every game of a tournament shares.
struct GameSettings {
    std::string serverPath;
    std::vector<PlayerEntry> players;
    // The folder for records, logs and result files.
    std::string gamesDir;
    std::uint32_t timelimit = 0;
    unsigned depthlimit = 0;
};

// The logger of the arena's own messages, "reversi.arena".
LogPtr arenaLogger();

// The program `name` that was built or installed next to the running one; the bare name, to be
// looked up on the PATH, when the running program's place is unknown.
std::string siblingProgram(const std::string& name);

// Where a game keeps its files: <dir>/<number>.record, .server.log, .seat<s>.log, .result.
std::string gameFile(const std::string& gamesDir, unsigned game, const std::string& suffix);

// What a games folder holds for a planned game: nothing usable (no file, an unreadable one or
// a failed game, all to be played again), its result, or the result of another game under its
// number (a folder of another tournament).
enum class PlayedState { Missing, Played, Foreign };
PlayedState findPlayed(const std::string& gamesDir, const PlannedGame& game,
                       const std::vector<PlayerEntry>& players, GameResult& result);

// How long a game may take before it counts as hung: a start-up allowance plus, for every
// move the map allows (each square filled, overridden or bombed once, every player's override
// stones and bombs), the time limit and a margin; a minute per move without a time limit.
std::chrono::milliseconds gameBound(std::uint32_t timelimit, unsigned cells, unsigned players,
                                    unsigned overrides, unsigned bombs);

// Per player entry: whether it has taken a seat in some game of the run. An entry that ends
// before it ever took one is taken for a command that cannot start.
using SeatedOnce = std::vector<bool>;

class GameRun {
public:
    // `seated` holds one flag per player entry and outlives the run.
    GameRun(const PlannedGame& game, const GameSettings& settings, std::chrono::milliseconds bound,
            SeatedOnce& seated);
    ~GameRun();
    GameRun(const GameRun&) = delete;
    GameRun& operator=(const GameRun&) = delete;

    // Moves the game on as far as it can go without waiting; true once it is over.
    bool advance();
    // The server's output, to wait on; -1 when it is closed.
    int watchFd() const { return m_serverOut; }
    // When advance() must run again even if nothing happens.
    Clock::time_point wakeAt() const { return m_wakeAt; }
    // Stops every process of the game at once and removes its files: the game is to be played
    // again (Ctrl-C, or the tournament was decided).
    void abort();

    const PlannedGame& game() const { return m_game; }
    // Complete once advance() has returned true, unless startFailure() says why not.
    const GameResult& result() const { return m_result; }
    // Once advance() has returned true: empty, or the message that a player cannot start (its
    // shell gave up on the command, or it ended before its first seat ever); the game was
    // aborted then and has no result.
    const std::string& startFailure() const { return m_startFailure; }

private:
    enum class Stage { Start, AwaitPort, Seating, Playing, Closing, Done };

    void startServer();
    void readServerOutput();
    void onServerLine(const std::string& line);
    void seatNext();
    void checkSeat();
    bool cannotStart(const ChildProcess& player) const;
    void failStart(int status);
    bool standIn();
    void checkPlaying();
    void checkClosing();
    void finish(GameStatus status);
    std::string file(const std::string& suffix) const;

    PlannedGame m_game;
    const GameSettings& m_settings;
    std::chrono::milliseconds m_bound;
    SeatedOnce& m_seated;
    Stage m_stage = Stage::Start;
    Clock::time_point m_started;
    Clock::time_point m_wakeAt;
    // The deadline of the current stage.
    Clock::time_point m_deadline;

    ChildProcess m_server;
    int m_serverOut = -1;
    int m_serverLog = -1;
    std::string m_pendingOutput;
    unsigned m_port = 0;
    // Seats the server has confirmed; the player of seat m_joined + 1 is being seated.
    std::size_t m_joined = 0;
    std::vector<std::unique_ptr<ChildProcess>> m_players;
    // When the player being seated ended without joining; a moment is left for the server's
    // line to arrive before the arena stands in.
    Clock::time_point m_seatEnded{};
    GameResult m_result;
    std::string m_startFailure;
};
