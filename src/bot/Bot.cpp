#include "bot/Bot.hpp"

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

Move Bot::getMove(Game* game, unsigned int, unsigned int) {
    auto* botGame = dynamic_cast<BotGame*>(game);
    if (botGame == nullptr) {
        return Move();
    }
    long score = 0;
    std::size_t ties = 0;
    const Move chosen = botGame->chooseGreedy(m_random, score, ties);
    if (!chosen.isValid()) {
        LOG(loggerAI, ERR) << "No legal move for player " << game->getCurrentPlayer();
        return chosen;
    }
    LOG(loggerAI, INFO) << "Chose " << chosen << " with score " << score << " out of " << ties
                        << " equal moves";
    return chosen;
}
