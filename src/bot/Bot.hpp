// A computer player: a Client whose only addition is how it picks a move. It is greedy: among
// the legal moves that the game generates it takes the one with the best immediate outcome.
#pragma once

#include <cstdint>
#include <random>

#include "client/Client.hpp"

class Bot : public Client {
public:
    static constexpr std::uint8_t BotGroupID = 0;

    Bot();

protected:
    bool parseOptions(OPTA::ArgumentParser& parser) override;
    Game* initGame(const Map& map) override;
    Move getMove(Game* game, unsigned int timelimit, unsigned int depthlimit) override;

private:
    std::uint32_t m_seed = 0;
    std::mt19937 m_random;
};
