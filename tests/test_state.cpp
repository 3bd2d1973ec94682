// The state stack: lazy buffer, doubling growth, push and pop with and without restoring,
// driven through the game's turn snapshot.
#include <cstring>

#include <gtest/gtest.h>

#include "common/Game.hpp"
#include "common/GameBoard.hpp"
#include "common/StateManager.hpp"
#include "tests/support/GameSupport.hpp"

namespace {

// A stack whose snapshot is one int in two blocks of two bytes, the second reached with
// incPointer; its slot size can be set to 0, or too large, to make the buffer impossible.
class IntStack : public StateManager {
public:
    explicit IntStack(unsigned int capacity, unsigned int size = sizeof(int))
        : StateManager(capacity), m_size(size) {}
    int value = 0;

    bool loadState(int index) override { return copy(getCurrentPointer(index), false); }

protected:
    bool saveState() override { return copy(getCurrentPointer(-1), true); }
    unsigned int getStateSize() const override { return m_size; }

private:
    // Copies the value into the slot or out of it; incPointer moves the slot pointer by 0,
    // then by 2.
    bool copy(void* slot, bool save) {
        if (slot == nullptr) {
            return false;
        }
        char* bytes = reinterpret_cast<char*>(&value);
        for (unsigned offset : {0u, 2u}) {
            void* at = incPointer(slot, offset);
            std::memcpy(save ? at : bytes + offset, save ? bytes + offset : at, 2);
        }
        return true;
    }
    unsigned int m_size;
};

// Plays the first generated move of the player on turn.
void playFirstMove(Game& game) {
    Move move;
    ASSERT_TRUE(game.nextMove(move, false));
    ASSERT_TRUE(game.makeMove(move));
}

} // namespace

TEST(StateStack, PopBoundsAndFailedSnapshots) {
    IntStack stack(2);
    EXPECT_FALSE(stack.popState(false));
    EXPECT_FALSE(stack.popN(0, false));
    EXPECT_FALSE(stack.loadState(-1)) << "top of an empty stack";
    stack.value = 1;
    stack.pushState();
    stack.value = 2;
    stack.pushState();
    EXPECT_FALSE(stack.loadState(2));
    EXPECT_FALSE(stack.loadState(-2));
    EXPECT_FALSE(stack.popN(3, true));
    EXPECT_EQ(stack.getCurrentIndex(), 2);
    stack.value = 9;
    EXPECT_TRUE(stack.popN(1, false));
    EXPECT_EQ(stack.value, 9);
    EXPECT_TRUE(stack.popN(1, true));
    EXPECT_EQ(stack.value, 1);

    // An empty slot size, and 16 slots of 2^28 bytes, which are 2^32 bytes and wrap to an
    // empty buffer in 32 bits, make no buffer.
    for (const unsigned size : {0u, 1u << 28}) {
        IntStack impossible(16, size);
        EXPECT_EQ(impossible.pushState(), -1) << size;
        EXPECT_EQ(impossible.getCurrentIndex(), 0);
        EXPECT_FALSE(impossible.loadState(-1));
    }
}

// The game's snapshot is the turn state: move number, player on turn and phase come back,
// disqualifications and stones do not. Its capacity starts at 50 and doubles.
TEST(StateStack, GameSnapshotAndGrowth) {
    auto map = testing_support::mapFromFile("classic8x8.map");
    Game game(*map, false);
    const std::string start = game.getBoard().asSimpleString();
    for (int i = 0; i < 201; ++i) {
        if (i == 50 || i == 100) {
            playFirstMove(game);
        }
        ASSERT_EQ(game.pushState(), i);
    }
    for (const auto& [slot, moves] :
         {std::pair{0, 0u}, {49, 0u}, {50, 1u}, {99, 1u}, {100, 2u}, {200, 2u}}) {
        ASSERT_TRUE(game.loadState(slot));
        EXPECT_EQ(game.get_movenumber(), moves) << "slot " << slot;
    }
    EXPECT_FALSE(game.loadState(201));
    EXPECT_TRUE(game.popState(false));
    EXPECT_TRUE(game.popN(2, true)) << "back to the push at slot 198";
    EXPECT_EQ(game.getCurrentIndex(), 198);
    EXPECT_FALSE(game.popN(199, true));

    game.disqualify(Player(2));
    ASSERT_TRUE(game.is_final());
    EXPECT_TRUE(game.popN(198, true));
    EXPECT_EQ(game.getCurrentIndex(), 0);
    EXPECT_EQ(game.get_movenumber(), 0u);
    EXPECT_EQ(game.getCurrentPlayer(), Player::P1);
    EXPECT_FALSE(game.is_final()) << "the phase comes back";
    EXPECT_TRUE(game.is_disqualified(Player(2))) << "disqualifications do not";
    EXPECT_NE(game.getBoard().asSimpleString(), start) << "nor do the stones";
}
