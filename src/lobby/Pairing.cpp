// The map rotation and the seat choice of the lobby.
#include "lobby/Pairing.hpp"

#include <algorithm>
#include <set>

std::optional<Pairing> MapRotation::next(const std::vector<unsigned>& queue) {
    for (std::size_t k = 0; k < m_players.size(); ++k) {
        const std::size_t index = (m_next + k) % m_players.size();
        if (m_players[index] <= queue.size()) {
            m_next = index + 1;
            return Pairing{index, chooseSeats(queue, m_players[index])};
        }
    }
    return std::nullopt;
}

std::vector<std::size_t> chooseSeats(const std::vector<unsigned>& queue, unsigned seats) {
    std::vector<std::size_t> chosen;
    std::vector<bool> taken(queue.size(), false);
    std::set<unsigned> groups;
    for (std::size_t i = 0; i < queue.size() && chosen.size() < seats; ++i) {
        if (groups.insert(queue[i]).second) {
            chosen.push_back(i);
            taken[i] = true;
        }
    }
    for (std::size_t i = 0; i < queue.size() && chosen.size() < seats; ++i) {
        if (!taken[i]) {
            chosen.push_back(i);
        }
    }
    std::sort(chosen.begin(), chosen.end());
    return chosen;
}
