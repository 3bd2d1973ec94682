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

// Reads squares until the stream fails; returns them and whether the whole text was consumed.
std::vector<Square> readSquares(const std::string& input, bool& reachedEnd) {
    std::istringstream is(input);
    std::vector<Square> squares;
    Square square = Square::EMPTY;
    while (is >> square) {
        squares.push_back(square);
    }
    reachedEnd = is.eof();
    return squares;
}

} // namespace

TEST(Vocabulary, SquareTextRoundTripsForEveryDefinedValue) {
    const std::vector<Square> all = {Square::EMPTY,          Square::PLAYER1,
                                     static_cast<Square>(2), static_cast<Square>(3),
                                     static_cast<Square>(4), static_cast<Square>(5),
                                     static_cast<Square>(6), static_cast<Square>(7),
                                     Square::PLAYER_MAX,     Square::EXPANSION,
                                     Square::INVERSION,      Square::CHOICE,
                                     Square::BONUS,          Square::NONE};
    std::string written;
    for (Square square : all) {
        written += text(square) + " ";
    }
    EXPECT_EQ(written, "0 1 2 3 4 5 6 7 8 x i c b - ");
    bool reachedEnd = false;
    EXPECT_EQ(readSquares(written, reachedEnd), all);
    EXPECT_TRUE(reachedEnd);
    EXPECT_EQ(text(static_cast<Square>(13)), "13");
    EXPECT_EQ(text(static_cast<Square>(254)), "254");
}

TEST(Vocabulary, SquareReadingNeedsSpaceBetweenStones) {
    bool reachedEnd = false;
    EXPECT_EQ(readSquares("00", reachedEnd), (std::vector{Square::EMPTY, Square::EMPTY}));
    EXPECT_EQ(readSquares("1x", reachedEnd), (std::vector{Square::PLAYER1, Square::EXPANSION}));
    EXPECT_TRUE(readSquares("12", reachedEnd).empty());
    EXPECT_EQ(readSquares("1 2", reachedEnd),
              (std::vector{Square::PLAYER1, static_cast<Square>(2)}));
}

TEST(Vocabulary, SquareReadingFailuresLeaveTheTargetUnchanged) {
    for (const std::string input : {"9", "X", "B", ".", "", "   ", "+1", "99999999999999999999"}) {
        std::istringstream is(input);
        Square square = Square::CHOICE;
        EXPECT_FALSE(is >> square) << input;
        EXPECT_EQ(square, Square::CHOICE) << input;
    }
    std::istringstream is("X0");
    Square square = Square::CHOICE;
    EXPECT_FALSE(is >> square);
    is.clear();
    EXPECT_TRUE(is >> square) << "the bad character is consumed";
    EXPECT_EQ(square, Square::EMPTY);
}

TEST(Vocabulary, DirectionsReadAndReverse) {
    for (unsigned d = 0; d < 8; ++d) {
        const auto direction = static_cast<Direction>(d);
        EXPECT_EQ(getBackDirection(getBackDirection(direction)), direction);
        EXPECT_NE(getBackDirection(direction), direction);
        EXPECT_EQ(text(direction), std::to_string(d));
    }
    EXPECT_EQ(getBackDirection(Direction::N), Direction::S);
    EXPECT_EQ(getBackDirection(Direction::NE), Direction::SW);
    EXPECT_EQ(getBackDirection(Direction::W), Direction::E);
    EXPECT_EQ(getBackDirection(Direction::NW), Direction::SE);

    std::istringstream is("7 8 -1");
    Direction direction = Direction::N;
    EXPECT_TRUE(is >> direction);
    EXPECT_EQ(direction, Direction::NW);
    EXPECT_FALSE(is >> direction);
    EXPECT_EQ(direction, Direction::NW);
    is.clear();
    EXPECT_FALSE(is >> direction) << "a sign is not a direction";
    EXPECT_EQ(direction, Direction::NW);
}

TEST(Vocabulary, ReadUnsignedRefusesSignsAndOverflow) {
    std::uint64_t value = 7;
    std::istringstream plus("+2");
    EXPECT_FALSE(readUnsigned(plus, value));
    std::istringstream over("256");
    EXPECT_FALSE(readUnsigned(over, value, 255));
    EXPECT_EQ(value, 7u);
    std::istringstream single("9");
    EXPECT_FALSE(readUnsigned(single, value, 5)) << "one digit may exceed a small bound";
    EXPECT_EQ(value, 7u);
    std::istringstream edge(" 255x");
    EXPECT_TRUE(readUnsigned(edge, value, 255));
    EXPECT_EQ(value, 255u);
    EXPECT_EQ(edge.peek(), 'x');
}

TEST(Vocabulary, IncrementPlayerCyclesAndSteps) {
    EXPECT_EQ(incrementPlayer(Player::P_MAX, 8), Player::P1);
    EXPECT_EQ(incrementPlayer(static_cast<Player>(3), 3), Player::P1);
    EXPECT_EQ(incrementPlayer(static_cast<Player>(2), 3), static_cast<Player>(3));
    EXPECT_EQ(incrementPlayer(Player::P_INVALID, 4), Player::P1);
    Player p = Player::P_MAX;
    EXPECT_EQ(incrementPlayer(p), static_cast<Player>(9)) << "the in-place form does not wrap";
    EXPECT_EQ(p, static_cast<Player>(9));
}

TEST(Vocabulary, MovesAndPhasesPrint) {
    const Move invalid;
    EXPECT_FALSE(invalid.isValid());
    EXPECT_EQ(text(invalid), "Player 0 (x,y)=(65535,65535)");
    const Move plain(3, 4, MoveChoice::NONE, static_cast<Player>(2), false);
    EXPECT_TRUE(plain.isValid());
    EXPECT_EQ(text(plain), "Player 2 (x,y)=(3,4)");
    const Move bonus(3, 4, MoveChoice::BOMB, static_cast<Player>(2), true);
    EXPECT_EQ(text(bonus), "Player 2 (x,y)=(3,4) choice: 20");
    const Move copy(bonus);
    EXPECT_EQ(text(copy), text(bonus));
    EXPECT_TRUE(copy.terminal);
    EXPECT_EQ(text(MoveChoice::OVERRIDE), "21");
    EXPECT_EQ(text(Player::P_MAX), "8");
    EXPECT_EQ(text(GamePhase::BUILD), "build");
    EXPECT_EQ(text(GamePhase::TERMINAL), "terminal");
    EXPECT_EQ(text(GamePhase::FINAL), "final");
    EXPECT_EQ(text(static_cast<GamePhase>(7)), "unknown");
}

#ifndef NDEBUG
TEST(VocabularyDeathTest, BrokenPreconditionsAreProgrammingErrors) {
    EXPECT_DEATH(Move(1, 1, MoveChoice::NONE, Player::P_INVALID, false),
                 "player != Player::P_INVALID");
    EXPECT_DEATH(incrementPlayer(Player::P1, 0), "n >= 1");
}
#endif
