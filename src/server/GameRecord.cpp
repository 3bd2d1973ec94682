#include "server/GameRecord.hpp"

#include <algorithm>
#include <sstream>

bool GameRecord::open(const std::string& path) {
    m_out.open(path, std::ios::out | std::ios::trunc);
    return m_out.is_open();
}

// The map goes out in the writer's layout behind its line count, so that a reader knows where
// the map ends without parsing it.
void GameRecord::writeMap(const Map& map) {
    if (!isOpen()) {
        return;
    }
    std::ostringstream text;
    text << map;
    const std::string lines = text.str();
    m_out << "map " << std::count(lines.begin(), lines.end(), '\n') << '\n' << lines << std::flush;
}

void GameRecord::writeMove(const Move& move) {
    if (isOpen()) {
        m_out << "move " << move.player << ' ' << move.x << ' ' << move.y << ' ' << move.choice
              << std::endl;
    }
}

void GameRecord::writeDisqualification(Player player, const std::string& reason) {
    if (isOpen()) {
        m_out << "disqualify " << player << ' ' << reason << std::endl;
    }
}

void GameRecord::writeScores(const Game& game) {
    if (!isOpen()) {
        return;
    }
    int scores[8] = {};
    game.get_scores(scores);
    m_out << "scores";
    for (unsigned i = 0; i < game.getNrPlayers(); ++i) {
        m_out << ' ' << scores[i];
    }
    m_out << std::endl;
}
