#include "GameSupport.hpp"

#include <algorithm>
#include <fstream>
#include <sstream>

#include "TestPaths.hpp"
#include "common/GameBoard.hpp"
#include "common/Logging.hpp"

namespace testing_support {

std::unique_ptr<Map> mapFromText(const std::string& text) {
    auto map = std::make_unique<Map>();
    EXPECT_TRUE(map->loadFromString(text)) << text;
    return map;
}

std::unique_ptr<Map> mapFromFile(const std::string& name) {
    auto map = std::make_unique<Map>();
    EXPECT_TRUE(map->loadFromFile(mapPath(name))) << name;
    return map;
}

// Hands the bare message text to the collector.
class MessageFormatter : public logcraft::Formatter {
public:
    std::string format(const logcraft::EntryContext&, const std::string& message) const override {
        return message;
    }
};

class LogCollector::CollectingSink : public logcraft::Sink {
public:
    CollectingSink() { setFormatter(std::make_shared<MessageFormatter>()); }
    mutable std::vector<std::string> messages;

protected:
    void logEntry(const std::string& text) const override { messages.push_back(text); }
};

LogCollector::LogCollector(logcraft::LogPtr logger)
    : m_logger(std::move(logger)), m_level(m_logger->getLevel()),
      m_sink(std::make_shared<CollectingSink>()) {
    m_logger->setLevel(logcraft::LogLevel::TRACE);
    m_logger->addSink(m_sink);
}

LogCollector::~LogCollector() {
    m_logger->removeSink(m_sink);
    m_logger->setLevel(m_level);
}

const std::vector<std::string>& LogCollector::messages() const {
    return m_sink->messages;
}

bool LogCollector::contains(const std::string& message) const {
    const auto& all = messages();
    return std::find(all.begin(), all.end(), message) != all.end();
}

void LogCollector::clear() {
    m_sink->messages.clear();
}

std::vector<Move> generatedMoves(Game& game) {
    std::vector<Move> moves;
    Move move;
    while (game.nextMove(move, false)) {
        moves.push_back(move);
    }
    return moves;
}

testing::AssertionResult boardInvariantsHold(const Game& game) {
    const GameBoard& board = game.getBoard();
    const std::string text = board.asSimpleString();
    const auto holes = static_cast<std::uint32_t>(std::count(text.begin(), text.end(), '-'));
    if (board.getReducedBoardSize() != board.getBoardSize() - holes) {
        return testing::AssertionFailure() << "non-hole count " << board.getReducedBoardSize()
                                           << " but " << holes << " holes in\n"
                                           << text;
    }
    std::uint32_t stones = 0;
    for (Player p : game.getPlayers()) {
        const char digit = static_cast<char>('0' + static_cast<unsigned>(p));
        const auto shown = static_cast<unsigned>(std::count(text.begin(), text.end(), digit));
        if (board.getStoneCount(p) != shown) {
            return testing::AssertionFailure()
                   << "player " << p << " counts " << board.getStoneCount(p) << " stones but shows "
                   << shown << " in\n"
                   << text;
        }
        stones += shown;
    }
    const auto digits =
        std::count_if(text.begin(), text.end(), [](char c) { return c >= '1' && c <= '9'; });
    if (static_cast<std::uint32_t>(digits) != stones) {
        return testing::AssertionFailure() << "a stone belongs to no player in\n" << text;
    }
    return testing::AssertionSuccess();
}

namespace {

// A move the board refuses: a bomb throw with a choice, or a stone off the board.
Move illegalMove(const Game& game) {
    return game.is_terminal() ? Move(0, 0, MoveChoice::OVERRIDE, game.getCurrentPlayer(), true)
                              : Move(60, 60, MoveChoice::NONE, game.getCurrentPlayer(), false);
}

} // namespace

std::vector<GameEvent> playRandomGame(Game& game, std::mt19937& rng, unsigned disqualifyOneIn) {
    std::vector<GameEvent> events;
    // Each move fills a square or uses up a stock, so this bound is never reached by a game
    // that ends; it only keeps a broken engine from looping.
    const std::size_t limit = 4 * game.getBoard().getBoardSize() + 4096;
    while (!game.is_final() && events.size() < limit) {
        const Player mover = game.getCurrentPlayer();
        if (disqualifyOneIn > 0 && rng() % disqualifyOneIn == 0) {
            EXPECT_FALSE(game.makeMove(illegalMove(game)));
            EXPECT_TRUE(game.is_disqualified(mover));
            events.push_back({Move(0, 0, MoveChoice::NONE, mover, false), true});
        } else {
            const std::vector<Move> moves = generatedMoves(game);
            if (moves.empty()) {
                ADD_FAILURE() << "player " << mover << " on turn without a move";
                break;
            }
            const Move move = moves[rng() % moves.size()];
            EXPECT_TRUE(game.makeMove(move)) << move;
            events.push_back({move, false});
        }
        EXPECT_TRUE(boardInvariantsHold(game));
    }
    EXPECT_TRUE(game.is_final());
    return events;
}

} // namespace testing_support
