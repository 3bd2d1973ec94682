// The lobby's games as the arena's results, so that the standings (Elo with its interval, wins,
// ranks, disqualifications by cause) and the "reversi.matchpoint" line are computed by the
// arena's own code.
#pragma once

#include <string>

#include "arena/GameResult.hpp"
#include "arena/Standings.hpp"
#include "lobby/LobbyStore.hpp"

// How a group appears in the standings and log lines: "group 7".
std::string groupName(unsigned group);

// A finished game as a result of the arena's form.
GameResult resultOf(const StoredGame& game);

// The standings over every finished game of the store, in the order the games were numbered.
Standings standingsOf(LobbyStore& store);
