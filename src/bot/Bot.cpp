#include "bot/Bot.hpp"

#include <limits>
#include <vector>

#include "bot/BotGame.hpp"
#include "common/Logging.hpp"

Bot::Bot() : Client(BotGroupID) {}

// Without --seed the ties are broken differently on every run.
bool Bot::parseOptions(OPTA::ArgumentParser& parser) {
    OPTA::VariableArgument<std::uint32_t> seed(m_seed, "Seed for breaking ties between moves",
                                               "seed");
    seed.valuename("number");
    parser.arguments().add(seed);
    if (!Client::parseOptions(parser)) {
        return false;
    }
    m_random.seed(seed.is_set() ? m_seed : std::random_device{}());
    return true;
}

Game* Bot::initGame(const Map& map) {
    return new BotGame(map);
}

// Walks through every legal move of the player on turn and draws one of the best at random.
Move Bot::getMove(Game* game, unsigned int, unsigned int) {
    auto* botGame = dynamic_cast<BotGame*>(game);
    if (botGame == nullptr) {
        return Move();
    }
    std::vector<Move> best;
    long bestScore = std::numeric_limits<long>::min();
    Move candidate;
    while (botGame->nextMove(candidate, false)) {
        const long score = botGame->evaluate(candidate);
        if (score > bestScore) {
            best.clear();
            bestScore = score;
        }
        if (score == bestScore) {
            best.push_back(candidate);
        }
    }
    if (best.empty()) {
        LOG(loggerAI, ERR) << "No legal move for player " << game->getCurrentPlayer();
        return Move();
    }
    std::uniform_int_distribution<std::size_t> pick(0, best.size() - 1);
    const Move chosen = best[pick(m_random)];
    LOG(loggerAI, INFO) << "Chose " << chosen << " with score " << bestScore << " out of "
                        << best.size() << " equal moves";
    return chosen;
}
