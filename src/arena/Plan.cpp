#include "arena/Plan.hpp"

#include "arena/GameResult.hpp"

bool parsePlayerOption(const std::string& text, PlayerEntry& entry) {
    const auto equals = text.find('=');
    if (equals == std::string::npos) {
        return false;
    }
    PlayerEntry read{text.substr(0, equals), text.substr(equals + 1)};
    if (!isValidPlayerName(read.name) ||
        read.command.find_first_not_of(" \t") == std::string::npos) {
        return false;
    }
    entry = std::move(read);
    return true;
}

std::vector<PlannedGame> planGames(const std::vector<std::string>& maps,
                                   const std::vector<std::size_t>& seatCounts, unsigned games,
                                   std::size_t entries, std::uint32_t seed) {
    std::vector<PlannedGame> plan;
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

std::string expandCommand(const std::string& command,
                          const std::map<std::string, std::string>& values) {
    std::string out;
    for (std::size_t i = 0; i < command.size();) {
        bool replaced = false;
        if (command[i] == '{') {
            for (const auto& [key, value] : values) {
                const std::string placeholder = "{" + key + "}";
                if (command.compare(i, placeholder.size(), placeholder) == 0) {
                    out += value;
                    i += placeholder.size();
                    replaced = true;
                    break;
                }
            }
        }
        if (!replaced) {
            out += command[i++];
        }
    }
    return out;
}

std::string shellQuote(const std::string& text) {
    std::string out = "'";
    for (const char c : text) {
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return out + "'";
}
