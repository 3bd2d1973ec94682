// The seat rotation and the seeds of a tournament's games.
#include "arena/SeatPlan.hpp"

SeatPlan planGames(const std::vector<std::string>& maps, const std::vector<std::size_t>& seatCounts,
                   unsigned games, std::size_t entries, std::uint32_t seed) {
    SeatPlan plan;
    if (entries == 0) {
        return plan;
    }
    for (std::size_t m = 0; m < maps.size() && m < seatCounts.size(); ++m) {
        for (unsigned g = 0; g < games; ++g) {
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
