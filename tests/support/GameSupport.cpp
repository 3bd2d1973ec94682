#include "GameSupport.hpp"

#include <algorithm>
#include <array>
#include <filesystem>
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

std::vector<std::string> sampleMapNames() {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(mapPath(""))) {
        if (entry.path().extension() == ".map") {
            names.push_back(entry.path().filename().string());
        }
    }
    std::sort(names.begin(), names.end());
    EXPECT_FALSE(names.empty());
    return names;
}

// Hands the level name and the message text, joined by one blank, to the collector.
class LevelFormatter : public logcraft::Formatter {
public:
    std::string format(const logcraft::EntryContext& context,
                       const std::string& message) const override {
        std::ostringstream os;
        os << context.level << ' ' << message;
        return os.str();
    }
};

class LogCollector::CollectingSink : public logcraft::Sink {
public:
    CollectingSink() { setFormatter(std::make_shared<LevelFormatter>()); }
    mutable std::vector<std::string> entries;

protected:
    void logEntry(const std::string& text) const override { entries.push_back(text); }
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

const std::vector<std::string>& LogCollector::entries() const {
    return m_sink->entries;
}

bool LogCollector::contains(const std::string& entry) const {
    const auto& all = entries();
    return std::find(all.begin(), all.end(), entry) != all.end();
}

void LogCollector::clear() {
    m_sink->entries.clear();
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
    std::array<std::uint32_t, 9> colours{};
    std::uint32_t nonHoles = 0;
    for (std::uint32_t i = 0; i < board.getBoardSize(); ++i) {
        const Square square = board.get_square(static_cast<index_t>(i));
        nonHoles += square != Square::NONE;
        if (square >= Square::PLAYER1 && square <= Square::PLAYER_MAX) {
            ++colours[static_cast<unsigned>(square)];
        }
    }
    if (board.getReducedBoardSize() != nonHoles) {
        return testing::AssertionFailure()
               << "non-hole count " << board.getReducedBoardSize() << " but " << nonHoles;
    }
    std::vector<std::uint32_t> counted;
    std::vector<std::uint32_t> byPlayer;
    for (unsigned c = 1; c < colours.size(); ++c) {
        if (board.getBoardCounts()[c] != colours[c]) {
            return testing::AssertionFailure()
                   << "colour " << c << " counts " << board.getBoardCounts()[c] << " but "
                   << colours[c] << " squares hold it";
        }
        if (c > game.getNrPlayers() && colours[c] != 0) {
            return testing::AssertionFailure() << "colour " << c << " belongs to no player";
        }
        if (c <= game.getNrPlayers()) {
            counted.push_back(colours[c]);
            byPlayer.push_back(board.getStoneCount(static_cast<Player>(c)));
        }
    }
    std::sort(counted.begin(), counted.end());
    std::sort(byPlayer.begin(), byPlayer.end());
    if (counted != byPlayer) {
        return testing::AssertionFailure() << "the players' stones are not the colours' stones";
    }
    return testing::AssertionSuccess();
}

testing::AssertionResult ownersShownAsCounted(const Game& game) {
    const GameBoard& board = game.getBoard();
    const std::string text = board.asSimpleString();
    for (Player p : game.getPlayers()) {
        const char digit = static_cast<char>('0' + static_cast<unsigned>(p));
        const auto shown = static_cast<unsigned>(std::count(text.begin(), text.end(), digit));
        if (board.getStoneCount(p) != shown) {
            return testing::AssertionFailure()
                   << "player " << p << " counts " << board.getStoneCount(p) << " stones but shows "
                   << shown << " in\n"
                   << text;
        }
    }
    return testing::AssertionSuccess();
}

namespace {

// A move the board refuses: a bomb throw with a choice, or a stone off the board.
Move illegalMove(const Game& game) {
    return game.is_terminal() ? Move(0, 0, MoveChoice::OVERRIDE, game.getCurrentPlayer(), true)
                              : Move(60, 60, MoveChoice::NONE, game.getCurrentPlayer(), false);
}

// A choice that fits the square at random: a player on a choice square, a bomb or an override
// stone on a bonus square, none elsewhere and for bomb throws.
MoveChoice randomChoice(const Game& game, index_t index, std::mt19937& rng) {
    if (game.is_terminal()) {
        return MoveChoice::NONE;
    }
    switch (game.getBoard().get_square(index)) {
    case Square::CHOICE:
        return static_cast<MoveChoice>(1 + rng() % game.getNrPlayers());
    case Square::BONUS:
        return rng() % 2 == 0 ? MoveChoice::BOMB : MoveChoice::OVERRIDE;
    default:
        return MoveChoice::NONE;
    }
}

// A valid player other than the one on turn, or P_INVALID when there is none.
Player otherValidPlayer(const Game& game, std::mt19937& rng) {
    std::vector<Player> others;
    for (Player p : game.getValidPlayers()) {
        if (p != game.getCurrentPlayer()) {
            others.push_back(p);
        }
    }
    return others.empty() ? Player::P_INVALID : others[rng() % others.size()];
}

// Either the player on turn sends a move the board refuses and loses the turn, or another
// player sends a move out of turn and the holder keeps it. Returns the disqualified player.
Player disqualifySomeone(Game& game, std::mt19937& rng) {
    const Player holder = game.getCurrentPlayer();
    const Player other = rng() % 2 == 0 ? otherValidPlayer(game, rng) : Player::P_INVALID;
    if (other == Player::P_INVALID) {
        EXPECT_FALSE(game.makeMove(illegalMove(game)));
        EXPECT_TRUE(game.is_final() || game.getCurrentPlayer() != holder);
        return holder;
    }
    EXPECT_FALSE(game.makeMove(Move(0, 0, MoveChoice::NONE, other, game.is_terminal())));
    EXPECT_EQ(game.getCurrentPlayer(), holder) << "a move out of turn took the turn";
    return other;
}

} // namespace

Move randomMove(const Game& game, std::mt19937& rng) {
    const GameBoard& board = game.getBoard();
    const std::uint32_t size = board.getBoardSize();
    const std::uint32_t start = rng() % size;
    for (std::uint32_t step = 0; step < size; ++step) {
        const auto index = static_cast<index_t>((start + step) % size);
        Move move(0, 0, MoveChoice::NONE, game.getCurrentPlayer(), game.is_terminal());
        board.index2coords(index, move.x, move.y);
        if (game.checkMove(move, false)) {
            move.choice = randomChoice(game, index, rng);
            return move;
        }
    }
    return Move();
}

std::vector<GameEvent> playRandomGame(Game& game, std::mt19937& rng, unsigned disqualifyOneIn) {
    std::vector<GameEvent> events;
    // Each move fills a square or uses up a stock, so this bound is never reached by a game
    // that ends; it only keeps a broken engine from looping.
    const std::size_t limit = 4 * game.getBoard().getBoardSize() + 4096;
    while (!game.is_final() && events.size() < limit) {
        const Player mover = game.getCurrentPlayer();
        if (disqualifyOneIn > 0 && rng() % disqualifyOneIn == 0) {
            const Player loser = disqualifySomeone(game, rng);
            EXPECT_TRUE(game.is_disqualified(loser));
            events.push_back({Move(0, 0, MoveChoice::NONE, loser, false), true});
        } else {
            const Move move = randomMove(game, rng);
            if (!move.isValid()) {
                ADD_FAILURE() << "player " << mover << " on turn without a move";
                break;
            }
            Move first;
            EXPECT_TRUE(game.nextMove(first, false)) << "the generator finds no move";
            EXPECT_TRUE(game.checkMove(move, true)) << move;
            EXPECT_TRUE(game.makeMove(move)) << move;
            events.push_back({move, false});
        }
        EXPECT_TRUE(boardInvariantsHold(game));
        EXPECT_TRUE(game.is_final() || !game.is_disqualified(game.getCurrentPlayer()));
        if (events.size() % 32 == 0) {
            EXPECT_TRUE(ownersShownAsCounted(game));
        }
    }
    EXPECT_TRUE(game.is_final());
    EXPECT_TRUE(ownersShownAsCounted(game));
    return events;
}

} // namespace testing_support
