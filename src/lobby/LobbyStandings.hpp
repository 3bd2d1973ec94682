// The lobby's games as the arena's results, so that the standings (Elo with its interval, wins,
// ranks, disqualifications by cause) and the "reversi.matchpoint" line are computed by the
// arena's own code.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "arena/GameResult.hpp"
#include "arena/Standings.hpp"
#include "lobby/LobbyStore.hpp"

// How a group appears in the standings and log lines: "group 7".
std::string groupName(unsigned group);

// A finished game as a result of the arena's form.
GameResult resultOf(const StoredGame& game);

// The standings over every finished game of the store, in the order the games were numbered.
Standings standingsOf(LobbyStore& store);

// A group's line of the lobby's standings: the arena's figures and when the group last played.
struct GroupStanding {
    unsigned group = 0;
    PlayerStanding standing;
    std::int64_t lastSeenMs = 0;
};

// The standings' groups, best Elo first, each with its last-seen time from the store.
std::vector<GroupStanding> groupStandings(LobbyStore& store);
