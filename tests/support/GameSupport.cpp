#include "GameSupport.hpp"

#include <algorithm>
#include <filesystem>

#include "BoardProbe.hpp"
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

std::vector<Move> generatedMoves(Game& game) {
    std::vector<Move> moves;
    Move move;
    while (game.nextMove(move, false)) {
        moves.push_back(move);
    }
    return moves;
}

namespace {

// Each player's stone count equals the squares that the board's text shows as that player's:
// the player/colour mapping seen from the rendering side.
testing::AssertionResult ownersShownAsCounted(const Game& game) {
    const GameBoard& board = game.getBoard();
    const std::string text = board.asSimpleString();
    for (Player p : game.getPlayers()) {
        const char digit = static_cast<char>('0' + static_cast<unsigned>(p));
        const auto shown = static_cast<unsigned>(std::count(text.begin(), text.end(), digit));
        if (board.getStoneCount(p) != shown) {
            return testing::AssertionFailure() << "player " << p << " shows " << shown << " in\n"
                                               << text;
        }
    }
    return testing::AssertionSuccess();
}

// A choice that fits the square at random: a player on a choice square, a bomb or an override
// stone on a bonus square, none elsewhere and for bomb throws.
MoveChoice randomChoice(const Game& game, index_t index, std::mt19937& rng) {
    const Square square = game.is_terminal() ? Square::EMPTY : game.getBoard().get_square(index);
    if (square == Square::CHOICE) {
        return static_cast<MoveChoice>(1 + rng() % game.getNrPlayers());
    }
    if (square == Square::BONUS) {
        return rng() % 2 == 0 ? MoveChoice::BOMB : MoveChoice::OVERRIDE;
    }
    return MoveChoice::NONE;
}

// Either the player on turn sends a move the board refuses (a bomb throw with a choice, or a
// stone off the board) and loses the turn, or another player sends a move out of turn and the
// holder keeps it. Returns the disqualified player.
Player disqualifySomeone(Game& game, std::mt19937& rng) {
    const Player holder = game.getCurrentPlayer();
    std::vector<Player> others = game.getValidPlayers();
    others.erase(std::find(others.begin(), others.end(), holder));
    if (others.empty() || rng() % 2 == 0) {
        EXPECT_FALSE(game.makeMove(game.is_terminal()
                                       ? Move(0, 0, MoveChoice::OVERRIDE, holder, true)
                                       : Move(60, 60, MoveChoice::NONE, holder, false)));
        EXPECT_TRUE(game.is_final() || game.getCurrentPlayer() != holder);
        return holder;
    }
    const Player other = others[rng() % others.size()];
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
        EXPECT_TRUE(invariantsHold(game.getBoard()));
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
