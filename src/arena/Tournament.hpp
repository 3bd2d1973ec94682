// Runs the games of a plan, up to J at a time, in one thread: every game is a GameRun that is
// moved on whenever one of its processes ends or its server writes, and the loop sleeps in
// poll() in between. Ctrl-C and SIGTERM stop every process the arena started.
#pragma once

#include <functional>
#include <optional>
#include <vector>

#include "arena/GameRun.hpp"
#include "arena/SeatPlan.hpp"

struct RunRequest {
    SeatPlan games;
    // Per game in `games`: the bound after which it counts as hung.
    std::vector<std::chrono::milliseconds> bounds;
    unsigned concurrency = 1;
    bool showProgress = true;
};

// What happened to the run as a whole; PlayerCannotStart has been logged with the player's
// name and the reason.
enum class RunEnd { Completed, Decided, Interrupted, PlayerCannotStart };

// Called with every finished game, in the order they end; returning true stops the run: the
// games still running are aborted and no further game is started.
using ResultSink = std::function<bool(const GameResult&)>;

// The games are started in plan order. After Ctrl-C or SIGTERM, or when a player cannot
// start, the games still running are aborted (their files removed), so that a later run plays
// them again.
RunEnd runGames(const RunRequest& request, const GameSettings& settings, const ResultSink& sink);

// The signal that interrupted the last run, 0 when none.
int interruptingSignal();
