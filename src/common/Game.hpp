// The turn engine: the referee of one match on one map.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "common/GameTypes.hpp"
#include "common/Map.hpp"
#include "common/StateManager.hpp"

class GameBoard;

// Owns the board, knows whose turn it is, counts moves, keeps disqualifications and moves the
// match through BUILD, TERMINAL and FINAL. An active game is the authority and disqualifies
// players for bad moves; a passive game follows an authority elsewhere (the client follows the
// server): it applies what it is told, disqualifies nobody on its own and can be forced into
// the bomb phase. The turn state (not the board) can be pushed and restored.
class Game : public StateManager {
public:
    // The snapshot that the state stack keeps.
    struct GameState {
        Player next_turn;
        std::uint16_t movenumber;
        GamePhase phase;
    };

    Game(const Map& map, bool passive);
    ~Game() override;

    bool loadState(int index) override;

    Player getCurrentPlayer() const { return next_turn; }
    unsigned int get_movenumber() const { return movenumber; }
    unsigned int get_valid_players() const { return valid_players; }
    unsigned int getNrPlayers() const { return nplayers; }
    const std::vector<Player>& getPlayers() const { return m_players; }
    const std::vector<Player>& getValidPlayers() const { return m_validPlayers; }
    const GameBoard& getBoard() const { return *m_gb; }
    const Map& getMap() const { return m_map; }

    // False for numbers outside 1 ... 8.
    bool is_disqualified(Player p) const;
    bool is_terminal() const { return m_phase == GamePhase::TERMINAL; }
    bool is_final() const { return m_phase == GamePhase::FINAL; }
    // Passive games only: the authority has ended the build phase.
    void force_terminal();

    bool checkMove(const Move& move, bool checkChoice) const;
    bool makeMove(const Move& move);
    void disqualify(Player player);
    bool nextMove(Move& move, bool apply);
    void nextPlayer();

    // Fills scorelist[p - 1] with p's stones (-1 when disqualified); returns the leader.
    Player get_scores(int* scorelist) const;
    void print_scores() const;
    std::string getStatus() const;

protected:
    Game(const Map& map, GameBoard* gb, bool passive);

    bool saveState() override;
    unsigned int getStateSize() const override;

    const Map& m_map;
    GameBoard* m_gb;

private:
    bool validPlayer(Player p) const;
    void turn_inc();
    void skipPlayers(bool (Game::*canAct)(Player) const, GamePhase next);
    bool canPlace(Player p) const;
    bool canBomb(Player p) const;
    MoveChoice followingChoice(MoveChoice choice) const;
    bool applyMove(const Move& move, index_t index);
    bool calcNextMove(Move& move, bool apply);
    bool nextVariant(Move& move, index_t index, bool apply);
    bool scanFrom(Move& move, std::uint32_t index, bool apply);

    Player next_turn = Player::P_INVALID;
    std::uint16_t movenumber = 0;
    std::array<bool, 8> disqualified{};
    unsigned int valid_players;
    unsigned int nplayers;
    std::vector<Player> m_players;
    std::vector<Player> m_validPlayers;
    bool m_passive;
    GamePhase m_phase = GamePhase::BUILD;
};
