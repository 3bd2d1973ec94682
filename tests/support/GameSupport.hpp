// Helpers for the turn engine tests: maps from text, a collector of log messages, board
// invariants, and random games recorded for replay.
#pragma once

#include <memory>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/Game.hpp"
#include "common/Map.hpp"
#include "logcraft/logger.hpp"

namespace testing_support {

// A map read from text; the test fails when the text is not a valid map.
std::unique_ptr<Map> mapFromText(const std::string& text);
// A map read from maps/<name>.
std::unique_ptr<Map> mapFromFile(const std::string& name);

// Collects the messages of one logger at every level while it lives, then restores the
// logger's level and removes its sink.
class LogCollector {
public:
    explicit LogCollector(logcraft::LogPtr logger);
    LogCollector(const LogCollector&) = delete;
    LogCollector& operator=(const LogCollector&) = delete;
    ~LogCollector();

    const std::vector<std::string>& messages() const;
    bool contains(const std::string& message) const;
    void clear();

private:
    class CollectingSink;
    logcraft::LogPtr m_logger;
    logcraft::LogLevel m_level;
    std::shared_ptr<CollectingSink> m_sink;
};

// Every legal move of the player on turn, in the generator's order.
std::vector<Move> generatedMoves(Game& game);

// The board agrees with itself: each player's stone count equals the squares that show the
// player's number, the non-hole count equals the squares that are not holes, and every stone
// belongs to a player of the game.
testing::AssertionResult boardInvariantsHold(const Game& game);

// One step of a recorded game: a move, or the disqualification of a player.
struct GameEvent {
    Move move;
    bool disqualification = false;
};

// Plays an active game to FINAL with moves picked at random among the generated ones;
// with `disqualifyOneIn` > 0 the player on turn sends an illegal move with that odds instead.
// Checks the board invariants after every step and returns the events in order.
std::vector<GameEvent> playRandomGame(Game& game, std::mt19937& rng, unsigned disqualifyOneIn);

} // namespace testing_support
