// Conversion of stored games to the arena's results.
#include "lobby/LobbyStandings.hpp"

#include <map>

std::string groupName(unsigned group) {
    return "group " + std::to_string(group);
}

GameResult resultOf(const StoredGame& game) {
    GameResult result;
    result.game = static_cast<unsigned>(game.id);
    result.map = game.map;
    result.status = GameStatus::Finished;
    result.durationMs =
        static_cast<std::uint64_t>(std::max<std::int64_t>(0, game.endedMs - game.startedMs));
    for (const StoredSeat& seat : game.seats) {
        result.seats.push_back(
            SeatResult{groupName(seat.group), seat.score,
                       seat.reason.empty() ? DisqualifyCause::None : causeFromReason(seat.reason)});
    }
    return result;
}

Standings standingsOf(LobbyStore& store) {
    Standings standings;
    for (const StoredGame& game : store.games("finished", 0)) {
        standings.add(resultOf(game));
    }
    return standings;
}

std::vector<GroupStanding> groupStandings(LobbyStore& store) {
    std::map<std::string, StoredGroup> byName;
    for (const StoredGroup& group : store.groups()) {
        byName[groupName(group.group)] = group;
    }
    std::vector<GroupStanding> lines;
    for (const PlayerStanding& player : standingsOf(store).players()) {
        const StoredGroup& group = byName[player.name];
        lines.push_back(GroupStanding{group.group, player, group.lastSeenMs});
    }
    return lines;
}
