// The search board against the referee: random games on every sample map and on random maps
// played on both in lockstep (moves of the player on turn and out of turn, disqualifications,
// moves taken back), perft counts of both engines, and the hash over transpositions.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "common/Game.hpp"
#include "common/GameBoard.hpp"
#include "common/Logging.hpp"
#include "search/SearchBoard.hpp"
#include "tests/support/GameSupport.hpp"
#include "tests/support/ScriptedProcess.hpp"
#include "tests/support/TestPaths.hpp"
#include "tools/perft/Perft.hpp"

using testing_support::mapFromFile;
using testing_support::mapFromText;

namespace {

// The optimised build plays twenty times as many games as the sanitizer (Debug) build; the
// environment variable REVERSI_TEST_SCALE multiplies both for a longer soak.
unsigned scale() {
#ifdef NDEBUG
    const unsigned build = 20;
#else
    const unsigned build = 1;
#endif
    const char* extra = std::getenv("REVERSI_TEST_SCALE");
    const unsigned factor = extra != nullptr ? static_cast<unsigned>(std::atoi(extra)) : 1u;
    return build * std::clamp(factor, 1u, 10000u);
}

unsigned number(Player p) {
    return static_cast<unsigned>(p);
}

// Two rows of 40 joined at their east ends: a stone of player 1 at (0, 1) captures a line of
// 78 stones that runs east and comes back west, longer than a stored ray.
const char* const kLongLineMap = "2\n0\n0 0\n2 40\n"
                                 "1 2 2 2 2 2 2 2 2 2 2 2 2 2 2 2 2 2 2 2 2 2 2 2 2 2 2 2 2 2 2 "
                                 "2 2 2 2 2 2 2 2 2\n"
                                 "0 2 2 2 2 2 2 2 2 2 2 2 2 2 2 2 2 2 2 2 2 2 2 2 2 2 2 2 2 2 2 "
                                 "2 2 2 2 2 2 2 2 2\n"
                                 "39 0 2 <-> 39 1 2\n";

// A valid map at random: 1 x 1 to 50 x 50 (mostly small), 2 to 8 players, holes, stones,
// every special square, bombs of strength 0 to 3, override stones, and transitions between
// randomly paired open sides (the square behind may be a hole, an end may be paired with
// itself).
std::string randomMapText(std::mt19937& rng) {
    const auto pick = [&rng](unsigned n) { return static_cast<unsigned>(rng() % n); };
    const unsigned limit = pick(10) == 0 ? 50 : pick(4) == 0 ? 20 : 9;
    const unsigned width = 1 + pick(limit);
    const unsigned height = 1 + pick(limit);
    const unsigned players = 2 + pick(7);
    const unsigned holes = pick(4) * 8;
    const unsigned stones = 5 + pick(30);
    std::vector<std::string> tiles(width * height);
    for (auto& tile : tiles) {
        const unsigned r = pick(100);
        tile = r < holes                ? "-"
               : r < holes + 6          ? std::string(1, "xicb"[pick(4)])
               : r < holes + 6 + stones ? std::to_string(1 + pick(players))
                                        : "0";
    }
    std::ostringstream text;
    text << players << '\n'
         << (pick(3) == 0 ? 0 : pick(6)) << '\n'
         << pick(4) << ' ' << pick(4) << '\n'
         << height << ' ' << width << '\n';
    for (unsigned y = 0; y < height; ++y) {
        for (unsigned x = 0; x < width; ++x) {
            text << tiles[y * width + x] << (x + 1 < width ? " " : "\n");
        }
    }
    static constexpr int dx[8] = {0, 1, 1, 1, 0, -1, -1, -1};
    static constexpr int dy[8] = {-1, -1, 0, 1, 1, 1, 0, -1};
    std::vector<std::array<unsigned, 3>> ends;
    for (unsigned y = 0; y < height; ++y) {
        for (unsigned x = 0; x < width; ++x) {
            for (unsigned d = 0; d < 8; ++d) {
                const int nx = static_cast<int>(x) + dx[d];
                const int ny = static_cast<int>(y) + dy[d];
                if (nx < 0 || ny < 0 || nx >= static_cast<int>(width) ||
                    ny >= static_cast<int>(height) || tiles[ny * width + nx] == "-") {
                    ends.push_back({x, y, d});
                }
            }
        }
    }
    std::shuffle(ends.begin(), ends.end(), rng);
    const unsigned pairs =
        pick(3) == 0 ? 0
                     : std::min<unsigned>(pick(static_cast<unsigned>(ends.size()) / 2 + 1), 150);
    for (unsigned k = 0; k < pairs; ++k) {
        const auto& a = ends[2 * k];
        const auto& b = pick(20) == 0 ? a : ends[2 * k + 1];
        text << a[0] << ' ' << a[1] << ' ' << a[2] << " <-> " << b[0] << ' ' << b[1] << ' ' << b[2]
             << '\n';
    }
    return text.str();
}

// A move as comparable text.
std::string text(const Move& m) {
    std::ostringstream os;
    os << m << (m.terminal ? " bomb" : "");
    return os.str();
}

std::vector<std::string> boardMoves(const SearchBoard& board, Player p) {
    std::vector<SearchMove> moves;
    board.generateMoves(p, moves);
    std::vector<std::string> result;
    for (const SearchMove& m : moves) {
        result.push_back(text(board.toMove(m, p)));
    }
    return result;
}

std::vector<std::string> moveTexts(const std::vector<Move>& moves) {
    std::vector<std::string> result;
    for (const Move& m : moves) {
        result.push_back(text(m));
    }
    return result;
}

// The referee's legal moves of any player (its generator knows only the one on turn): every
// square its check mode accepts, with each variant, and the number of those squares.
struct RefereeMoves {
    std::vector<std::string> moves;
    unsigned squares = 0;
};

RefereeMoves refereeMoves(const Game& game, Player p) {
    RefereeMoves found;
    std::vector<std::string>& result = found.moves;
    if (game.is_final() || game.is_disqualified(p)) {
        return found;
    }
    auto& board = const_cast<GameBoard&>(game.getBoard());
    for (index_t i = 0; i < board.getBoardSize(); ++i) {
        Move move(0, 0, MoveChoice::NONE, p, game.is_terminal());
        board.index2coords(i, move.x, move.y);
        const bool legal = game.is_terminal() ? board.throwBomb(p, i, false)
                                              : board.makeMove(p, i, MoveChoice::NONE, false);
        if (!legal) {
            continue;
        }
        ++found.squares;
        const Square s = board.get_square(i);
        if (!game.is_terminal() && s == Square::CHOICE) {
            for (unsigned c = 1; c <= game.getNrPlayers(); ++c) {
                move.choice = static_cast<MoveChoice>(c);
                result.push_back(text(move));
            }
        } else if (!game.is_terminal() && s == Square::BONUS) {
            move.choice = MoveChoice::BOMB;
            result.push_back(text(move));
            move.choice = MoveChoice::OVERRIDE;
            result.push_back(text(move));
        } else {
            result.push_back(text(move));
        }
    }
    return found;
}

GamePhase phaseOf(const Game& game) {
    return game.is_final()      ? GamePhase::FINAL
           : game.is_terminal() ? GamePhase::TERMINAL
                                : GamePhase::BUILD;
}

// forEachOccupied visits exactly the occupied squares; forEachFreeNearOccupied only free
// squares, and every free square next to an occupied one.
bool walksAgree(const SearchBoard& board) {
    std::vector<bool> occupied(board.size());
    std::vector<bool> near(board.size());
    board.forEachOccupied([&](index_t i) { occupied[i] = true; });
    board.forEachFreeNearOccupied([&](index_t i) { near[i] = true; });
    for (index_t i = 0; i < board.size(); ++i) {
        const bool free = !board.isOccupied(i) && !board.isHole(i);
        bool touches = false;
        for (unsigned d = 0; d < 8; ++d) {
            const index_t n = board.neighbour(i, Direction(d));
            touches = touches || (n != INVALID_INDEX && board.isOccupied(n));
        }
        if (occupied[i] != board.isOccupied(i) || (near[i] && !free) ||
            (free && touches && !near[i])) {
            return false;
        }
    }
    return true;
}

// Squares, mapping, stocks, counts, disqualifications, turn, phase and move number agree, the
// incremental hash and stones next to free squares equal those counted from scratch, and the
// square walks fit the squares.
testing::AssertionResult samePosition(const Game& game, const SearchBoard& board) {
    const GameBoard& ref = game.getBoard();
    std::ostringstream diff;
    for (index_t i = 0; i < ref.getBoardSize(); ++i) {
        if (ref.get_square(i) != board.square(i)) {
            diff << " square " << i;
        }
    }
    for (Player p = Player::P1; number(p) <= game.getNrPlayers(); incrementPlayer(p)) {
        if (ref.colourOf(p) != board.colourOf(p) || ref.getBombs(p) != board.bombs(p) ||
            ref.getOverrides(p) != board.overrides(p) || ref.getStoneCount(p) != board.stones(p) ||
            game.is_disqualified(p) != board.isDisqualified(p)) {
            diff << " player " << p;
        }
    }
    if (game.getCurrentPlayer() != board.toMove() || phaseOf(game) != board.phase() ||
        game.get_movenumber() != board.moveNumber() ||
        game.get_valid_players() != board.validPlayers() ||
        ref.getReducedBoardSize() != board.nonHoles()) {
        diff << " turn/phase/move number/players/holes";
    }
    if (board.hash() != board.computeHash()) {
        diff << " hash";
    }
    if (!walksAgree(board)) {
        diff << " square walks";
    }
    if (!(board.nearStones() == board.countNearStones())) {
        diff << " stones next to free squares";
    }
    if (diff.str().empty()) {
        return testing::AssertionSuccess();
    }
    return testing::AssertionFailure() << diff.str() << " differ; referee:\n"
                                       << ref.asSimpleString() << "search board:\n"
                                       << board.asSimpleString();
}

// Everything a position is, as text: for grouping positions reached by different orders.
std::string positionKey(const SearchBoard& board) {
    std::ostringstream os;
    for (index_t i = 0; i < board.size(); ++i) {
        os << static_cast<unsigned>(board.square(i)) << ',';
    }
    for (Player p = Player::P1; number(p) <= board.players(); incrementPlayer(p)) {
        os << ' ' << board.colourOf(p) << board.bombs(p) << '/' << board.overrides(p)
           << board.isDisqualified(p);
    }
    os << ' ' << board.toMove() << ' ' << board.phase();
    return os.str();
}

// One game played on the referee (a passive game, as a client keeps it) and on the search
// board in lockstep, checked after every step.
class Lockstep {
public:
    Lockstep(const Map& map, unsigned seed) : m_game(map, true), m_board(map), m_rng(seed) {
        m_board.trackNearStones(true);
    }

    // At most maxSteps steps; the generator's list is compared every `every` steps, and the
    // moves of every player every 4 * `every` steps.
    void play(unsigned maxSteps, unsigned every) {
        ASSERT_TRUE(samePosition(m_game, m_board));
        const SearchBoard start(m_board);
        unsigned steps = 0;
        for (; steps < maxSteps && !m_game.is_final(); ++steps) {
            ASSERT_NO_FATAL_FAILURE(step(steps % every == 0, steps % (4 * every) == 0));
            ASSERT_TRUE(samePosition(m_game, m_board)) << "after step " << steps;
            if (steps % every == 0) {
                const SearchBoard copy(m_game);
                ASSERT_EQ(copy.hash(), m_board.hash()) << "copied from the game";
                ASSERT_TRUE(copy.nearStones() == m_board.nearStones()) << "counted, not tracked";
            }
        }
        while (m_board.undoDepth() > 0) {
            m_board.unmakeMove();
        }
        EXPECT_EQ(m_board.asSimpleString(), start.asSimpleString());
        EXPECT_EQ(positionKey(m_board), positionKey(start));
        EXPECT_EQ(m_board.hash(), start.hash());
        EXPECT_EQ(m_board.countMoves(m_board.toMove()), start.countMoves(start.toMove()));
        SearchBoard assigned{SearchBoard(m_game)};
        assigned = m_board;
        EXPECT_EQ(positionKey(assigned), positionKey(start));
        EXPECT_EQ(assigned.hash(), start.hash());
        m_steps += steps;
    }

    unsigned steps() const { return m_steps; }

private:
    unsigned pick(std::size_t n) { return static_cast<unsigned>(m_rng() % n); }

    // Moves of the player on turn, now and then one of another player (taken out of turn) or a
    // disqualification, and now and then a move that is taken back at once.
    void step(bool compareMoves, bool compareOthers) {
        const Player turn = m_board.toMove();
        std::vector<SearchMove> moves;
        m_board.generateMoves(moves);
        if (compareMoves) {
            ASSERT_EQ(boardMoves(m_board, turn),
                      moveTexts(testing_support::generatedMoves(m_game)));
        }
        if (compareOthers) {
            checkOtherPlayers();
        }
        ASSERT_EQ(m_board.countMoves(turn), moves.size());
        ASSERT_EQ(m_board.hasMove(turn), !moves.empty());
        if (pick(40) == 0) {
            const Player loser = static_cast<Player>(1 + pick(m_board.players()));
            m_game.disqualify(loser);
            m_board.disqualify(loser);
            return;
        }
        if (moves.empty()) {
            FAIL() << "no move for player " << turn << " in phase " << m_board.phase();
        }
        if (pick(10) == 0) {
            takenBack(moves[pick(moves.size())]);
        }
        Player mover = turn;
        if (pick(15) == 0) {
            mover = static_cast<Player>(1 + pick(m_board.players()));
            m_board.generateMoves(mover, moves);
            if (moves.empty()) {
                return;
            }
        }
        const SearchMove move = moves[pick(moves.size())];
        ASSERT_TRUE(m_board.isLegal(mover, move));
        m_game.makeMove(m_board.toMove(move, mover));
        m_board.makeMove(move, mover);
    }

    void checkOtherPlayers() {
        for (Player p = Player::P1; number(p) <= m_board.players(); incrementPlayer(p)) {
            const RefereeMoves expected = refereeMoves(m_game, p);
            ASSERT_EQ(boardMoves(m_board, p), expected.moves) << "player " << p;
            ASSERT_EQ(m_board.hasMove(p), !expected.moves.empty()) << "player " << p;
            ASSERT_EQ(m_board.mobility(p), expected.squares) << "player " << p;
        }
    }

    // Make and unmake restore the position and the hash exactly.
    void takenBack(SearchMove move) {
        const std::string before = positionKey(m_board);
        const std::uint64_t hash = m_board.hash();
        const unsigned depth = m_board.undoDepth();
        m_board.makeMove(move);
        EXPECT_EQ(m_board.hash(), m_board.computeHash());
        m_board.unmakeMove();
        ASSERT_EQ(positionKey(m_board), before);
        ASSERT_EQ(m_board.hash(), hash);
        ASSERT_EQ(m_board.undoDepth(), depth);
        ASSERT_TRUE(samePosition(m_game, m_board));
    }

    Game m_game;
    SearchBoard m_board;
    std::mt19937 m_rng;
    unsigned m_steps = 0;
};

// Silences the referee's log lines about moves out of turn and disqualifications.
class QuietGame {
public:
    QuietGame() : m_level(Logging::getLogLevel(loggerGame)) {
        Logging::setLogLevel(loggerGame, logcraft::LogLevel::ERR);
    }
    ~QuietGame() { Logging::setLogLevel(loggerGame, m_level); }

private:
    logcraft::LogLevel m_level;
};

} // namespace

TEST(SearchBoard, PlaysAsTheRefereeOnEverySampleMap) {
    QuietGame quiet;
    for (const std::string& name : testing_support::sampleMapNames()) {
        SCOPED_TRACE(name);
        const auto map = mapFromFile(name);
        const bool huge = map->getTotalTiles() > 1000;
        const unsigned games = huge ? 1 : (scale() + 3) / 4;
        for (unsigned g = 0; g < games; ++g) {
            Lockstep game(*map, g + 1);
            ASSERT_NO_FATAL_FAILURE(game.play(huge ? 30 * scale() : 100000, huge ? 25 : 1));
        }
    }
    const auto longLine = mapFromText(kLongLineMap);
    Lockstep game(*longLine, 7);
    ASSERT_NO_FATAL_FAILURE(game.play(100000, 1));
}

TEST(SearchBoard, PlaysAsTheRefereeOnRandomMaps) {
    QuietGame quiet;
    std::mt19937 rng(2026);
    unsigned steps = 0;
    for (unsigned g = 0; g < 30 * scale(); ++g) {
        const std::string text = randomMapText(rng);
        SCOPED_TRACE(text);
        const auto map = mapFromText(text);
        ASSERT_TRUE(map->isValid());
        Lockstep game(*map, g);
        ASSERT_NO_FATAL_FAILURE(game.play(100000, map->getTotalTiles() > 400 ? 10 : 1));
        steps += game.steps();
    }
    EXPECT_GT(steps, 500u * scale());
}

// Every position reached by different orders of the same moves has one hash, and different
// positions have different hashes.
TEST(SearchBoard, TranspositionsShareTheirHash) {
    for (const auto& [name, depth] : std::vector<std::pair<std::string, unsigned>>{
             {"classic8x8.map", 6}, {"transitions4p.map", 3}}) {
        const auto map = mapFromFile(name);
        SearchBoard board(*map);
        std::map<std::uint64_t, std::string> seen;
        unsigned transpositions = 0;
        const auto walk = [&](auto&& self, unsigned left) -> void {
            const std::string key = positionKey(board);
            const auto [it, inserted] = seen.emplace(board.hash(), key);
            ASSERT_EQ(it->second, key) << "two positions with one hash";
            transpositions += inserted ? 0 : 1;
            if (left == 0) {
                return;
            }
            std::vector<SearchMove> moves;
            board.generateMoves(moves);
            for (const SearchMove& m : moves) {
                board.makeMove(m);
                self(self, left - 1);
                board.unmakeMove();
            }
        };
        walk(walk, depth);
        std::map<std::string, std::uint64_t> byKey;
        for (const auto& [hash, key] : seen) {
            ASSERT_TRUE(byKey.emplace(key, hash).second) << "one position with two hashes";
        }
        EXPECT_GT(transpositions, 0u) << name;
    }
}

// The published counts of standard Othello, and the same counts from both engines of the
// real program on every sample map.
TEST(SearchBoard, PerftMatchesOthelloAndTheReference) {
    const auto classic = mapFromFile("classic8x8.map");
    const auto engine = makePerftEngine("search", *classic);
    const std::uint64_t expected[] = {4, 12, 56, 244, 1396, 8200, 55092, 390216};
    for (unsigned d = 1; d <= 8; ++d) {
        EXPECT_EQ(engine->count(d), expected[d - 1]) << "depth " << d;
    }
    const auto leaves = [](const std::string& out) {
        std::vector<std::string> result;
        std::istringstream lines(out);
        std::string line;
        while (std::getline(lines, line)) {
            result.push_back(line.substr(0, line.find(" time")));
        }
        return result;
    };
    for (const auto& [name, depth] :
         std::vector<std::pair<std::string, unsigned>>{{"classic8x8.map", 6},
                                                       {"eight8p.map", 3},
                                                       {"example2p.map", 8},
                                                       {"huge50x50.map", 2},
                                                       {"transitions4p.map", 4}}) {
        std::vector<std::string> counts[2];
        for (unsigned e = 0; e < 2; ++e) {
            const auto result = testing_support::runProcess(
                testing_support::programPath("reversi-perft"),
                {"-m", testing_support::mapPath(name), "-d", std::to_string(depth), "--engine",
                 e == 0 ? "search" : "reference"},
                std::chrono::seconds(120));
            ASSERT_EQ(result.exitStatus, 0) << result.err;
            counts[e] = leaves(result.out);
        }
        ASSERT_EQ(counts[0].size(), depth) << name;
        EXPECT_EQ(counts[0], counts[1]) << name;
    }
}
