// reversi-ai: a Client that searches. Each move request is answered with the move a
// game-tree search finds within the time the server grants; without a server, --analyse
// searches a map's start or a position of a recorded game and prints what it finds.
#pragma once

#include <cstdint>
#include <memory>
#include <random>
#include <string>

#include "client/Client.hpp"
#include "search/Mcts.hpp"
#include "search/SearchParams.hpp"
#include "search/Searcher.hpp"
#include "search/TranspositionTable.hpp"

class AiPlayer : public Client {
public:
    static constexpr std::uint8_t AiGroupID = 0;

    AiPlayer();

protected:
    bool doRun() override;
    bool parseOptions(OPTA::ArgumentParser& parser) override;
    Game* initGame(const Map& map) override;
    void deinitGame(Game* game) override;
    Move getMove(Game* game, unsigned int timelimit, unsigned int depthlimit) override;
    void moveApplied(const Move& move) override;
    void playerDisqualified(Player player) override;

private:
    // The search of the options for a map: the one of --search, else the default for the
    // map's players, size and special squares; the searcher or tree search is made with the
    // options applied.
    std::string searchFor(const SearchBoard& board) const;
    void prepareSearch(const SearchBoard& board);
    // The search board of the game's position: the one that followed the game, or a new one
    // when it no longer agrees with the game (the server forced the bomb phase, say).
    SearchBoard& positionOf(const Game& game);
    // One of the player's legal moves at random, placing a stone where that needs no override
    // stone if it can: the start of a --random-moves game.
    SearchMove randomMove(const SearchBoard& board);
    bool analyse();
    bool analysePosition(SearchBoard& board);

    // --search, or empty for the default per map.
    std::string m_strategyName;
    // What the searcher plays by: the defaults with --params and --param applied in order.
    SearchParams m_params;
    bool m_listParams = false;
    unsigned m_hashMb;
    unsigned m_moveTime;
    // --nodes: a node (iteration) limit of every search besides the clock, 0 for none.
    unsigned m_nodeLimit = 0;
    std::uint32_t m_seed = 0;
    // --random-moves: the first moves of each game drawn at random, so that games of an AI
    // against itself at a fixed depth differ; m_movesThisGame counts the requests answered.
    unsigned m_randomMoves = 0;
    unsigned m_movesThisGame = 0;
    std::string m_analyseMap;
    std::string m_recordFile;
    unsigned m_recordMoves = 0;
    bool m_recordMovesSet = false;

    std::unique_ptr<TranspositionTable> m_table;
    // Follows the game move by move, so that a request does not pay for building a board.
    std::unique_ptr<SearchBoard> m_board;
    std::unique_ptr<Searcher> m_searcher;
    // The tree search with --search mcts; its tree follows the game from request to request.
    std::unique_ptr<Mcts> m_mcts;
    std::mt19937 m_random;
};
