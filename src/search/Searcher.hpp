// The game-tree search of the AI: iterative deepening over alpha-beta with principal-variation
// windows, for two players as plain minimax and for three or more either paranoid (every
// opponent plays against the root player, in turn order) or best-reply search (between two
// moves of the root player only the strongest single reply of any opponent).
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "search/Evaluation.hpp"
#include "search/SearchBoard.hpp"
#include "search/SearchParams.hpp"
#include "search/TranspositionTable.hpp"

using SearchClock = std::chrono::steady_clock;
// Where a search reads the time: SearchClock::now, or in tests a clock of their own.
using SearchNow = std::function<SearchClock::time_point()>;

enum class MultiPlayerSearch { PARANOID, BEST_REPLY };

// When a search must end. The hard deadline stops it in the middle of an iteration; after the
// soft one no new iteration starts.
struct SearchLimits {
    // Deepest iteration in moves of all players; 0 for SearchParams::MaxDepth.
    unsigned depth = 0;
    SearchClock::time_point deadline = SearchClock::time_point::max();
    SearchClock::time_point softDeadline = SearchClock::time_point::max();
    // Stop after about this many nodes; 0 for no limit (repeatable searches in tests).
    std::uint64_t nodes = 0;
};

// A move together with the player who makes it (best-reply search lets any opponent reply).
struct PlyMove {
    SearchMove move;
    Player player = Player::P_INVALID;

    bool operator==(const PlyMove&) const = default;
};

// The outcome of an iteration, and of the whole search: the move to play, its score from the
// root player's view and the line the search expects.
struct SearchInfo {
    PlyMove best;
    int score = 0;
    // Deepest completed iteration; 0 when none completed (best is then the first move in
    // static order, or invalid when the player has no move).
    unsigned depth = 0;
    std::uint64_t nodes = 0;
    SearchClock::duration elapsed{};
    std::vector<PlyMove> pv;
    // No deeper iteration can change the result: every line was searched to the end of the game,
    // or, with two players, a win or loss is proven. With three or more players both the
    // result and a won or lost game found on the way hold only under the model of the
    // opponents (paranoid or best reply), so a win or loss alone does not end the deepening.
    bool exact = false;
};

// Searches positions of one map. It keeps what helps from one search to the next of the same
// game (the transposition table it is given, killer moves, history counters).
class Searcher {
public:
    using Report = std::function<void(const SearchInfo&)>;
    // A heuristic score of a position that is not over, from the root player's view: how a
    // player replaces the built-in evaluation. Scores are clamped to inside
    // +-SearchParams::HeuristicLimit, where proven results begin.
    using Evaluation = std::function<int(const SearchBoard& board, Player root)>;

    // `board` gives the map (any position of it); `table` may be null for a search without one.
    // The search and its evaluation play by `params`.
    Searcher(const SearchBoard& board, TranspositionTable* table, const SearchParams& params = {});

    void setStrategy(MultiPlayerSearch strategy) { m_strategy = strategy; }
    // Equal moves at the root are tried in an order drawn from this seed.
    void setSeed(std::uint32_t seed) { m_random.seed(seed); }
    void setClock(SearchNow now) { m_now = std::move(now); }
    const Evaluator& evaluator() const { return m_eval; }
    // Leaves that are not final are scored by `evaluation` instead of the built-in Evaluator;
    // an empty function restores the built-in one.
    void setEvaluation(Evaluation evaluation) { m_evaluation = std::move(evaluation); }

    // Searches for the player on turn; `board` is left as it was. `report` hears of every
    // completed iteration.
    SearchInfo search(SearchBoard& board, const SearchLimits& limits, const Report& report = {});

private:
    // Moves of one node with their ordering keys.
    struct MoveList {
        std::vector<PlyMove> moves;
        std::vector<SearchMove> buffer;
        std::vector<int> keys;
        std::vector<unsigned> order;
    };

    void prepareRoot();
    void deepen(SearchInfo& info, SearchClock::time_point start, const Report& report);
    int searchRoot(unsigned depth);
    int childScore(const PlyMove& m, unsigned depth, int alpha, int beta, unsigned ply,
                   bool maxNode, bool first);
    int alphaBeta(unsigned depth, int alpha, int beta, unsigned ply, bool bestReplyMax);
    static bool cutsOff(const TTEntry& entry, int alpha, int beta);
    bool generate(MoveList& list, bool bestReplyMax);
    void addMoves(MoveList& list, Player p);
    void orderMoves(MoveList& list, unsigned ply, SearchMove ttMove, bool maxNode, bool prune);
    void keepStrongestThrows(MoveList& list, bool maxNode, bool prune);
    void rememberCutoff(const PlyMove& m, unsigned depth, unsigned ply, SearchMove ttMove);
    void updatePv(unsigned ply, const PlyMove& m);
    std::uint64_t positionKey(bool bestReplyMax) const;
    std::uint64_t clockInterval() const;
    bool spend(std::uint64_t work);
    // The score of the position on m_board for the root player: exact when the game is over,
    // otherwise the heuristic of the evaluation in use.
    int score() const;
    int heuristic() const;
    int& history(const PlyMove& m);

    SearchParams m_params;
    Evaluator m_eval;
    Evaluation m_evaluation;
    TranspositionTable* m_table;
    MultiPlayerSearch m_strategy = SearchParams::DefaultBestReply ? MultiPlayerSearch::BEST_REPLY
                                                                  : MultiPlayerSearch::PARANOID;
    std::mt19937 m_random{0};
    SearchNow m_now = SearchClock::now;

    // State of the running search.
    SearchBoard* m_board = nullptr;
    Player m_root = Player::P_INVALID;
    SearchLimits m_limits;
    bool m_bestReply = false;
    // Two players (left in the game): a won or lost game found by the search is a real proof.
    bool m_twoPlayers = false;
    std::uint64_t m_nodes = 0;
    std::uint64_t m_work = 0;
    std::uint64_t m_nextCheck = 0;
    bool m_stopped = false;
    std::vector<MoveList> m_lists;
    std::vector<std::array<PlyMove, 2>> m_killers;
    std::vector<int> m_history;
    std::vector<std::vector<PlyMove>> m_pv;
    std::vector<unsigned> m_pvLength;
    // Root moves in the order of the last iteration, and the best of the running one.
    std::vector<PlyMove> m_rootMoves;
    PlyMove m_iterationBest;
    int m_iterationScore = 0;
    bool m_iterationHasBest = false;
    std::vector<PlyMove> m_ranked;
};

// The text of a move for logs: "x,y", with "/choice" for a choice or bonus and "P<n>:" before it
// when `withPlayer` is set.
std::string moveText(const SearchBoard& board, const PlyMove& m, bool withPlayer);
