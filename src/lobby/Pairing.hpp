// The lobby's choice of the next game from the waiting queue: which map of the pool, and which
// of the waiting clients take its seats. Kept apart from sockets and threads so that the rules
// can be followed (and tested) on plain lists of group ids.
#pragma once

#include <cstddef>
#include <optional>
#include <vector>

// A game to start: the pool index of its map and the queue positions of its players, in queue
// order (longest waiting first).
struct Pairing {
    std::size_t map = 0;
    std::vector<std::size_t> chosen;
};

// Turns through the map pool: each game takes the next map in the pool whose player count the
// queue can fill, so that every map gets its turn while clients keep coming.
class MapRotation {
public:
    // The player count of each map of the pool, in pool order.
    explicit MapRotation(std::vector<unsigned> players) : m_players(std::move(players)) {}

    // The next game the queue (the group id of each waiting client, longest waiting first) can
    // fill, or none while it can fill no map. Advances the rotation past the chosen map.
    std::optional<Pairing> next(const std::vector<unsigned>& queue);

private:
    std::vector<unsigned> m_players;
    std::size_t m_next = 0;
};

// The `seats` clients of the queue to seat: the longest waiting first, but a client whose group
// already has a seat is passed over while a client of another group waits; only when the
// groups run out do further clients of a seated group fill the rest.
std::vector<std::size_t> chooseSeats(const std::vector<unsigned>& queue, unsigned seats);
