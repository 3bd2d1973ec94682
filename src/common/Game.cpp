#include "common/Game.hpp"

#include <cassert>
#include <cstring>
#include <sstream>

#include "common/GameBoard.hpp"
#include "common/Logging.hpp"

namespace {

unsigned number(Player p) {
    return static_cast<unsigned>(p);
}

} // namespace

Game::Game(const Map& map, bool passive) : Game(map, new GameBoard(map), passive) {}

Game::Game(const Map& map, GameBoard* gb, bool passive)
    : StateManager(DEFAULT_STACK_SIZE), m_map(map), m_gb(gb), valid_players(map.getPlayers()),
      nplayers(map.getPlayers()), m_passive(passive) {
    assert(nplayers >= 1 && nplayers <= disqualified.size());
    for (Player p = Player::P1; number(p) <= nplayers; incrementPlayer(p)) {
        m_players.push_back(p);
        m_validPlayers.push_back(p);
    }
    turn_inc();
}

Game::~Game() {
    delete m_gb;
}

// A snapshot is the turn state alone; the board is not part of it.
unsigned int Game::getStateSize() const {
    return sizeof(GameState);
}

bool Game::saveState() {
    char* slot = getCurrentPointer(-1);
    if (slot == nullptr) {
        return false;
    }
    const GameState state{next_turn, movenumber, m_phase};
    std::memcpy(slot, &state, sizeof state);
    return true;
}

bool Game::loadState(int index) {
    const char* slot = getCurrentPointer(index);
    if (slot == nullptr) {
        return false;
    }
    GameState state{};
    std::memcpy(&state, slot, sizeof state);
    next_turn = state.next_turn;
    movenumber = state.movenumber;
    m_phase = state.phase;
    return true;
}

// Player numbers arrive from the network: only 1 ... nplayers may index anything.
bool Game::validPlayer(Player p) const {
    return p >= Player::P1 && number(p) <= nplayers;
}

bool Game::is_disqualified(Player p) const {
    return p >= Player::P1 && p <= Player::P_MAX && disqualified[number(p) - 1];
}

void Game::force_terminal() {
    if (m_passive) {
        m_phase = GamePhase::TERMINAL;
    }
}

bool Game::canPlace(Player p) const {
    return !is_disqualified(p) && m_gb->move_possible(p);
}

bool Game::canBomb(Player p) const {
    return !is_disqualified(p) && m_gb->bomb_possible(p);
}

// Steps next_turn on while its player cannot act in the current phase. Each player is tried
// once; when the round comes back to where it began, the game moves on to `next`.
void Game::skipPlayers(bool (Game::*canAct)(Player) const, GamePhase next) {
    const Player start = next_turn;
    while (!(this->*canAct)(next_turn)) {
        next_turn = incrementPlayer(next_turn, nplayers);
        if (next_turn == start) {
            m_phase = next;
            return;
        }
    }
}

// Hands the turn to the next player able to act. The end of the build phase flows straight
// into the search for a bomb thrower, starting at the same player.
void Game::turn_inc() {
    if (valid_players == 0) {
        LOG(loggerGame, WARN) << "No more valid players in the game!";
        return;
    }
    next_turn = incrementPlayer(next_turn, nplayers);
    if (m_phase == GamePhase::BUILD) {
        skipPlayers(&Game::canPlace, GamePhase::TERMINAL);
    }
    if (m_phase == GamePhase::TERMINAL) {
        skipPlayers(&Game::canBomb, GamePhase::FINAL);
    }
    if (m_phase == GamePhase::FINAL) {
        LOG(loggerGame, TRACE) << "Game has ended, turn_inc no-op";
    }
    LOG(loggerGame, TRACE) << "turn_inc: next valid player is " << number(next_turn);
}

// A disqualified player keeps the number but is skipped from now on; when at most one player
// is left the game is over.
void Game::disqualify(Player player) {
    if (!validPlayer(player)) {
        LOG(loggerGame, WARN) << "Cannot disqualify unknown player " << number(player);
        return;
    }
    if (is_disqualified(player)) {
        return;
    }
    --valid_players;
    disqualified[number(player) - 1] = true;
    m_gb->disqualify(player);
    m_validPlayers.clear();
    for (Player p : m_players) {
        if (!is_disqualified(p)) {
            m_validPlayers.push_back(p);
        }
    }
    if (valid_players > 1) {
        if (player == next_turn) {
            LOG(loggerGame, DEBUG) << "Current player disqualified, increment turn";
            turn_inc();
        }
    } else {
        m_phase = GamePhase::FINAL;
    }
    LOG(loggerGame, INFO) << "Disqualified player " << player;
}

// Tests a move without changing anything. With choice checking a bomb throw must carry no
// choice, as makeMove of an active game demands.
bool Game::checkMove(const Move& move, bool checkChoice) const {
    if (move.player != next_turn || move.terminal != is_terminal()) {
        return false;
    }
    if (!m_passive && is_final()) {
        return false;
    }
    const index_t index = m_gb->coords2index(move.x, move.y);
    if (index == INVALID_INDEX) {
        return false;
    }
    if (is_terminal()) {
        return (!checkChoice || move.choice == MoveChoice::NONE) &&
               m_gb->throwBomb(move.player, index, false);
    }
    if (checkChoice && !m_gb->checkChoice(index, move.choice)) {
        return false;
    }
    const MoveChoice choice = checkChoice ? move.choice : m_gb->defaultChoice(index);
    return m_gb->makeMove(move.player, index, choice, false);
}

// Plays the move on the board: a stone in the build phase, a bomb in the bomb phase.
bool Game::applyMove(const Move& move, index_t index) {
    if (!is_terminal()) {
        return m_gb->makeMove(move.player, index, move.choice, true);
    }
    if (move.choice != MoveChoice::NONE) {
        if (!m_passive) {
            LOG(loggerGame, INFO) << "Disqualifying player: choice not 0 on bomb throw";
            return false;
        }
        LOG(loggerGame, INFO) << "Invalid choice detected, but ignoring (passive)";
    }
    return m_gb->throwBomb(move.player, index, true);
}

// An active game disqualifies the sender of a bad move; the turn then advances at most once,
// inside disqualify, and only when the sender held it. A passive game applies what it is told,
// out of turn too, and advances the turn even after a move its board refused.
bool Game::makeMove(const Move& move) {
    ++movenumber;
    LOG(loggerGame, DEBUG) << "Making move, " << move;
    LOG(loggerGame, TRACE) << "Current move is " << movenumber;
    if (!validPlayer(move.player)) {
        LOG(loggerGame, WARN) << "Rejecting move of unknown player " << number(move.player);
        return false;
    }
    if (!m_passive && is_final()) {
        LOG(loggerGame, INFO) << "Game has ended, rejecting move";
        return false;
    }
    const index_t index = m_gb->coords2index(move.x, move.y);
    if (move.player != next_turn) {
        if (!m_passive) {
            LOG(loggerGame, INFO) << "Disqualifying player: out of turn";
            disqualify(move.player);
            return false;
        }
        LOG(loggerGame, WARN) << "Out of turn move detected, but applying anyway (passive)";
        next_turn = move.player;
    }
    const bool result = applyMove(move, index);
    if (!result && !m_passive) {
        disqualify(move.player);
        return false;
    }
    turn_inc();
    return result;
}

// The generator, and with `apply` the turn handed on after each move it played: a passive game
// only skips disqualified players, since its authority decides who moves next.
bool Game::nextMove(Move& move, bool apply) {
    const bool found = calcNextMove(move, apply);
    if (found && apply) {
        if (m_passive) {
            nextPlayer();
        } else {
            turn_inc();
        }
    }
    return found;
}

// The choice that follows `choice` on the same square: the next player on a choice square,
// OVERRIDE after BOMB on a bonus square; NONE when the square has no further choice.
MoveChoice Game::followingChoice(MoveChoice choice) const {
    const unsigned value = static_cast<unsigned>(choice);
    if (choice >= MoveChoice::PLAYER1 && value < nplayers) {
        return static_cast<MoveChoice>(value + 1);
    }
    return choice == MoveChoice::BOMB ? MoveChoice::OVERRIDE : MoveChoice::NONE;
}

// Walks through the legal moves of the player on turn in index order, and through the choices
// of a square. An invalid move starts the walk; the move returned continues it. With `apply`
// every move reported has been played once, so the phase may change between calls: a move of
// an earlier phase starts the walk again. An active game that is over has no moves.
bool Game::calcNextMove(Move& move, bool apply) {
    if (!m_passive && is_final()) {
        move.player = Player::P_INVALID;
        return false;
    }
    if (!move.isValid() || move.terminal != is_terminal()) {
        move.player = next_turn;
        move.terminal = is_terminal();
        move.choice = MoveChoice::NONE;
        return scanFrom(move, 0, apply);
    }
    const index_t index = m_gb->coords2index(move.x, move.y);
    assert(index != INVALID_INDEX);
    move.player = next_turn;
    return nextVariant(move, index, apply) || scanFrom(move, index + 1u, apply);
}

// The further choices of the square just reported, decided by the choice it carried, since
// with `apply` the square itself has changed. Each is asked of the board like any candidate;
// in check mode the answer repeats the first one, since the board's test ignores the choice.
bool Game::nextVariant(Move& move, index_t index, bool apply) {
    if (move.terminal) {
        return false;
    }
    for (MoveChoice c = followingChoice(move.choice); c != MoveChoice::NONE;
         c = followingChoice(c)) {
        move.choice = c;
        if (m_gb->makeMove(move.player, index, c, apply)) {
            return true;
        }
    }
    move.choice = MoveChoice::NONE;
    return false;
}

// Tries the squares from `index` on, each with its default choice; the first legal one is
// stored in `move`. Off the board the move becomes invalid.
bool Game::scanFrom(Move& move, std::uint32_t index, bool apply) {
    for (; index < m_gb->getBoardSize(); ++index) {
        const auto square = static_cast<index_t>(index);
        bool legal = false;
        if (move.terminal) {
            legal = m_gb->throwBomb(move.player, square, apply);
        } else {
            move.choice = m_gb->defaultChoice(square);
            legal = m_gb->makeMove(move.player, square, move.choice, apply);
        }
        if (legal) {
            m_gb->index2coords(square, move.x, move.y);
            return true;
        }
    }
    move.player = Player::P_INVALID;
    return false;
}

// Passive games only: the authority has moved the turn on; skip disqualified players.
void Game::nextPlayer() {
    assert(m_passive);
    for (unsigned step = 0; step < nplayers; ++step) {
        next_turn = incrementPlayer(next_turn, nplayers);
        if (!is_disqualified(next_turn)) {
            return;
        }
    }
    LOG(loggerGame, WARN) << "No more valid players in the game!";
}

// Ties go to the lowest-numbered player: a later one needs strictly more stones to lead.
Player Game::get_scores(int* scorelist) const {
    Player leader = Player::P_INVALID;
    int best = -1;
    for (Player p : m_players) {
        int& score = scorelist[number(p) - 1];
        if (is_disqualified(p)) {
            score = -1;
            continue;
        }
        score = static_cast<int>(m_gb->getStoneCount(p));
        if (score > best) {
            best = score;
            leader = p;
        }
    }
    return leader;
}

void Game::print_scores() const {
    int scores[8] = {};
    const Player leader = get_scores(scores);
    LOG(loggerGame, INFO) << "Scores:";
    for (Player p : m_players) {
        const int score = scores[number(p) - 1];
        if (is_disqualified(p)) {
            LOG(loggerGame, INFO) << "Player " << p << ": disqualified";
        } else if (p == leader) {
            LOG(loggerGame, INFO) << "Player " << p << ": " << score
                                  << " points and is currently leading";
        } else {
            LOG(loggerGame, INFO) << "Player " << p << ": " << score << " points";
        }
    }
}

// The player on turn, then per player: override stones, bombs, disqualification flag.
std::string Game::getStatus() const {
    std::ostringstream os;
    os << number(getCurrentPlayer()) << '\n';
    for (Player p : m_players) {
        os << static_cast<unsigned>(m_gb->getOverrides(p)) << ' '
           << static_cast<unsigned>(m_gb->getBombs(p)) << ' ' << (is_disqualified(p) ? 1 : 0)
           << '\n';
    }
    return os.str();
}
