// The seat rotation and the seeds of a tournament's games.
#include "arena/SeatPlan.hpp"

#include <algorithm>

SeatPlan planGames(const std::vector<std::string>& maps, const std::vector<std::size_t>& seatCounts,
                   unsigned games, std::size_t entries, std::uint32_t seed) {
    SeatPlan plan;
    if (entries == 0) {
        return plan;
    }
    const std::size_t mapCount = std::min(maps.size(), seatCounts.size());
    for (unsigned g = 0; g < games; ++g) {
        for (std::size_t m = 0; m < mapCount; ++m) {
            PlannedGame game;
            game.index = static_cast<unsigned>(plan.size() + 1);
            game.map = maps[m];
            for (std::size_t s = 0; s < seatCounts[m]; ++s) {
                game.seats.push_back((g + s) % entries);
            }
            game.seed = seed + static_cast<std::uint32_t>(game.index) * 16u;
            plan.push_back(std::move(game));
        }
    }
    return plan;
}

std::uint32_t seatSeed(const PlannedGame& game, std::size_t seat) {
    return game.seed + static_cast<std::uint32_t>(seat);
}
