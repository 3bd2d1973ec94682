// The state stack: lazy buffer, doubling growth, push and pop with and without restoring,
// driven through the game's turn snapshot.
#include <cstring>

#include <gtest/gtest.h>

#include "common/Game.hpp"
#include "common/GameBoard.hpp"
#include "common/StateManager.hpp"
#include "tests/support/GameSupport.hpp"

using testing_support::mapFromFile;

namespace {

// A stack whose snapshot is one int in two blocks of two bytes, written with incPointer; its
// slot size can be set to 0, or too large, to make the buffer impossible.
class IntStack : public StateManager {
public:
    explicit IntStack(unsigned int capacity, unsigned int size = sizeof(int))
        : StateManager(capacity), m_size(size) {}
    int value = 0;

    bool loadState(int index) override {
        void* mem = getCurrentPointer(index);
        if (mem == nullptr) {
            return false;
        }
        char* bytes = reinterpret_cast<char*>(&value);
        std::memcpy(bytes, mem, 2);
        std::memcpy(bytes + 2, incPointer(mem, 2), sizeof(int) - 2);
        return true;
    }

protected:
    bool saveState() override {
        void* mem = getCurrentPointer(-1);
        if (mem == nullptr) {
            return false;
        }
        const char* bytes = reinterpret_cast<const char*>(&value);
        std::memcpy(mem, bytes, 2);
        std::memcpy(incPointer(mem, 2), bytes + 2, sizeof(int) - 2);
        return true;
    }
    unsigned int getStateSize() const override { return m_size; }

private:
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

    IntStack empty(4, 0);
    EXPECT_EQ(empty.pushState(), -1);
    EXPECT_EQ(empty.getCurrentIndex(), 0);
    EXPECT_FALSE(empty.loadState(-1));

    // 16 slots of 2^28 bytes are 2^32 bytes, which wraps to an empty buffer in 32 bits.
    IntStack oversized(16, 1u << 28);
    EXPECT_EQ(oversized.pushState(), -1);
    EXPECT_EQ(oversized.getCurrentIndex(), 0);
}

TEST(StateStack, GameSnapshotIsTheTurnStateOnly) {
    auto map = mapFromFile("classic8x8.map");
    Game game(*map, false);
    EXPECT_EQ(game.pushState(), 0);
    const std::string start = game.getBoard().asSimpleString();

    std::vector<unsigned> pushedAt;
    for (int i = 0; i < 9; ++i) {
        playFirstMove(game);
        pushedAt.push_back(game.get_movenumber());
        EXPECT_EQ(game.pushState(), i + 1);
    }
    EXPECT_TRUE(game.popState(false));
    EXPECT_EQ(game.get_movenumber(), 9u);
    EXPECT_TRUE(game.popN(2, true)) << "back to the push after move 7";
    EXPECT_EQ(game.get_movenumber(), 7u);
    EXPECT_EQ(game.getCurrentIndex(), 7);
    EXPECT_FALSE(game.popN(8, true));
    EXPECT_EQ(game.get_movenumber(), 7u);

    game.disqualify(Player(2));
    ASSERT_TRUE(game.is_final());
    EXPECT_TRUE(game.popN(7, true));
    EXPECT_EQ(game.get_movenumber(), 0u);
    EXPECT_EQ(game.getCurrentPlayer(), Player::P1);
    EXPECT_FALSE(game.is_final()) << "the phase comes back";
    EXPECT_TRUE(game.is_disqualified(Player(2))) << "disqualifications do not";
    EXPECT_NE(game.getBoard().asSimpleString(), start) << "nor do the stones";
}

TEST(StateStack, GameCapacityDoublesFrom50) {
    auto map = mapFromFile("classic8x8.map");
    Game game(*map, false);
    for (int i = 0; i < 201; ++i) {
        if (i == 50 || i == 100) {
            playFirstMove(game);
        }
        ASSERT_EQ(game.pushState(), i);
    }
    const Player second = game.getCurrentPlayer();
    for (const auto& [slot, moves] :
         {std::pair{0, 0u}, {49, 0u}, {50, 1u}, {99, 1u}, {100, 2u}, {200, 2u}}) {
        ASSERT_TRUE(game.loadState(slot));
        EXPECT_EQ(game.get_movenumber(), moves) << "slot " << slot;
    }
    EXPECT_EQ(game.getCurrentPlayer(), second);
    EXPECT_TRUE(game.popN(201, true));
    EXPECT_EQ(game.get_movenumber(), 0u);
    EXPECT_EQ(game.getCurrentPlayer(), Player::P1);
    EXPECT_EQ(game.getCurrentIndex(), 0);
}
