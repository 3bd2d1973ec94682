// Text forms and reading rules of the game vocabulary.
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/Game.hpp"
#include "common/Map.hpp"

namespace {

template <typename T>
std::string text(const T& value) {
    std::ostringstream os;
    os << value;
    return os.str();
}

// Reads squares until the stream fails.
std::vector<Square> readSquares(const std::string& input) {
    std::istringstream is(input);
    std::vector<Square> squares;
    for (Square square = Square::EMPTY; is >> square;) {
        squares.push_back(square);
    }
    return squares;
}

} // namespace

// Every square writes a form that reads back; stones need no space between them, but "12" is
// read as the number twelve, which is no square.
TEST(Vocabulary, SquaresWriteAndReadBack) {
    std::vector<Square> all;
    for (unsigned s = 0; s <= 8; ++s) {
        all.push_back(static_cast<Square>(s));
    }
    all.insert(all.end(),
               {Square::EXPANSION, Square::INVERSION, Square::CHOICE, Square::BONUS, Square::NONE});
    std::string written;
    for (Square square : all) {
        written += text(square) + " ";
    }
    EXPECT_EQ(written, "0 1 2 3 4 5 6 7 8 x i c b - ");
    EXPECT_EQ(readSquares(written), all);
    EXPECT_EQ(text(static_cast<Square>(254)), "254");
    EXPECT_EQ(readSquares("01x"), (std::vector{Square::EMPTY, Square::PLAYER1, Square::EXPANSION}));
    EXPECT_EQ(readSquares("1 2"), (std::vector{Square::PLAYER1, static_cast<Square>(2)}));
    EXPECT_TRUE(readSquares("12").empty());
}

// A failed read, also at the end of the input, leaves the target unchanged and consumes the bad
// character, so that a reader can go on after it.
TEST(Vocabulary, ReadingFailuresLeaveTheTargetUnchanged) {
    for (const std::string input : {"9", "X", "B", ".", "", "   ", "+1", "99999999999999999999"}) {
        std::istringstream is(input);
        Square square = Square::CHOICE;
        EXPECT_FALSE(is >> square) << input;
        EXPECT_EQ(square, Square::CHOICE) << input;
    }
    std::istringstream squares("X0");
    Square square = Square::CHOICE;
    EXPECT_FALSE(squares >> square);
    squares.clear();
    EXPECT_TRUE(squares >> square);
    EXPECT_EQ(square, Square::EMPTY);

    std::istringstream directions("7 8 -1");
    Direction direction = Direction::N;
    EXPECT_TRUE(directions >> direction);
    EXPECT_FALSE(directions >> direction);
    directions.clear();
    EXPECT_FALSE(directions >> direction) << "a sign is not a direction";
    EXPECT_EQ(direction, Direction::NW);
}

// Numbers are digits only: a sign or a value above the bound fails and leaves the value as it was.
TEST(Vocabulary, ReadUnsignedTakesDigitsOnly) {
    for (const auto& [input, max] : std::vector<std::pair<std::string, std::uint64_t>>{
             {"+2", UINT64_MAX}, {"-1", UINT64_MAX}, {"x", UINT64_MAX}, {"256", 255}, {"9", 5}}) {
        std::istringstream is(input);
        std::uint64_t value = 7;
        EXPECT_FALSE(readUnsigned(is, value, max)) << input;
        EXPECT_EQ(value, 7u) << input;
    }
    std::istringstream edge(" 255");
    std::uint64_t value = 7;
    EXPECT_TRUE(readUnsigned(edge, value, 255));
    EXPECT_EQ(value, 255u);
}

TEST(Vocabulary, DirectionsReverseAndPlayersCycle) {
    for (unsigned d = 0; d < 8; ++d) {
        const auto direction = static_cast<Direction>(d);
        EXPECT_EQ(getBackDirection(direction), static_cast<Direction>((d + 4) % 8)) << d;
        EXPECT_EQ(text(direction), std::to_string(d));
    }
    EXPECT_EQ(incrementPlayer(Player::P_MAX, 8), Player::P1);
    EXPECT_EQ(incrementPlayer(static_cast<Player>(3), 3), Player::P1);
    EXPECT_EQ(incrementPlayer(static_cast<Player>(2), 3), static_cast<Player>(3));
    EXPECT_EQ(incrementPlayer(Player::P_INVALID, 4), Player::P1);
    Player p = Player::P_MAX;
    EXPECT_EQ(incrementPlayer(p), static_cast<Player>(9)) << "the in-place form does not wrap";
    EXPECT_EQ(p, static_cast<Player>(9));
}

TEST(Vocabulary, MovesAndPhasesPrint) {
    EXPECT_FALSE(Move().isValid());
    EXPECT_EQ(text(Move()), "Player 0 (x,y)=(65535,65535)");
    EXPECT_EQ(text(Move(3, 4, MoveChoice::BOMB, static_cast<Player>(2), true)),
              "Player 2 (x,y)=(3,4) choice: 20");
    EXPECT_EQ(text(GamePhase::BUILD) + text(GamePhase::TERMINAL) + text(GamePhase::FINAL) +
                  text(static_cast<GamePhase>(7)),
              "buildterminalfinalunknown");
}
