// The bot's local game. It keeps a second board on the side on which the bot tries each
// candidate move, so that it can see the outcome without touching the game it plays.
#pragma once

#include <cstddef>
#include <random>

#include "common/Game.hpp"
#include "common/GameBoard.hpp"

// A board that can take over the whole mutable state of another board of the same map.
class BotBoard : public GameBoard {
public:
    using GameBoard::GameBoard;

    void copyStateFrom(const BotBoard& other);
};

// A passive game (the server referees) whose board is a BotBoard.
class BotGame : public Game {
public:
    explicit BotGame(const Map& map);

    // How good a legal move of the player on turn is: in the build phase the stones the mover
    // holds after it, in the bomb phase the opposing stones it removes.
    long evaluate(const Move& move);
    // The greedy choice: one of the legal moves with the best evaluation, drawn at random; an
    // invalid move when the player on turn has none. `score` receives the best evaluation and
    // `ties` the number of moves that share it.
    Move chooseGreedy(std::mt19937& random, long& score, std::size_t& ties);

private:
    const BotBoard& board() const { return static_cast<const BotBoard&>(*m_gb); }
    unsigned opposingStones(const GameBoard& board, Player mover) const;

    BotBoard m_scratch;
};
