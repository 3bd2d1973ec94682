#include "tools/map/SelfPlay.hpp"

#include <algorithm>
#include <random>

#include "bot/BotGame.hpp"

namespace {

// Every build move fills a square or spends an override stone, every throw a bomb, so a game
// ends on its own; the limit only guards against a fault in the engine.
unsigned eventLimit(const Map& map) {
    const unsigned stocks = (map.getOverrides() + map.getBombs() + 255u) * map.getPlayers();
    return 4u * map.getTotalTiles() + stocks + 100u;
}

} // namespace

SelfPlayResult playGreedyGame(const Map& map, const std::vector<std::uint32_t>& seeds,
                              GameRecord* record) {
    BotGame game(map);
    std::vector<std::mt19937> random;
    for (unsigned seat = 0; seat < map.getPlayers(); ++seat) {
        random.emplace_back(seat < seeds.size() ? seeds[seat] : 0u);
    }
    if (record != nullptr) {
        record->writeMap(map);
    }
    SelfPlayResult result;
    const unsigned limit = eventLimit(map);
    while (!game.is_final() && result.events < limit) {
        const Player player = game.getCurrentPlayer();
        long score = 0;
        std::size_t ties = 0;
        const Move move = game.chooseGreedy(random[static_cast<unsigned>(player) - 1], score, ties);
        if (!move.isValid() || !game.makeMove(move)) {
            break;
        }
        if (record != nullptr) {
            record->writeMove(move);
        }
        ++result.events;
    }
    result.finished = game.is_final();
    int scores[8] = {};
    game.get_scores(scores);
    result.scores.assign(scores, scores + game.getNrPlayers());
    if (record != nullptr && result.finished) {
        record->writeScores(game);
    }
    return result;
}

std::vector<double> winShares(const std::vector<int>& scores) {
    std::vector<double> shares(scores.size(), 0.0);
    const int best = scores.empty() ? -1 : *std::max_element(scores.begin(), scores.end());
    if (best < 0) {
        return shares;
    }
    const auto winners = std::count(scores.begin(), scores.end(), best);
    for (std::size_t i = 0; i < scores.size(); ++i) {
        if (scores[i] == best) {
            shares[i] = 1.0 / static_cast<double>(winners);
        }
    }
    return shares;
}
