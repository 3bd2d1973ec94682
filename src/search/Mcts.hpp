// Monte-Carlo tree search for any number of players: max-n backup of every player's own result,
// UCT selection with progressive history, short playouts guided by captures and cut off with
// the evaluation, a solver for results that are certain, and the tree kept from one move of
// the game to the next. It runs on the search board and keeps the alpha-beta search's clock.
#pragma once

#include <array>
#include <cstdint>
#include <random>
#include <vector>

#include "search/Evaluation.hpp"
#include "search/SearchBoard.hpp"
#include "search/Searcher.hpp"

// What a tree search found: the move to play (the most visited at the root, or a proven one),
// its share of the root's visits, the root player's mean result, and the size of the work.
struct MctsInfo {
    PlyMove best;
    double visitShare = 0.0;
    double value = 0.0;
    std::uint64_t iterations = 0;
    // Nodes of the tree after the search (kept ones included) and those kept from the last.
    std::uint64_t nodes = 0;
    std::uint64_t reusedVisits = 0;
    // Deepest node of the tree in moves from the root.
    unsigned depth = 0;
    // The root's result is certain (the solver proved it).
    bool exact = false;
    // Every line to the depth limit was evaluated: the result is final for that depth.
    bool complete = false;
    SearchClock::duration elapsed{};
    std::vector<PlyMove> pv;
};

// Searches positions of one map, keeping its tree between the searches of one game.
class Mcts {
public:
    // `board` gives the map; the tree holds at most `maxNodes` nodes.
    // Its numbers are the mcts* members of `params`; the evaluation reads the others.
    Mcts(const SearchBoard& board, std::size_t maxNodes, const SearchParams& params = {});

    void setSeed(std::uint32_t seed) { m_random.seed(seed); }
    void setClock(SearchNow now) { m_now = std::move(now); }
    // The nodes that `megabytes` of memory hold.
    static std::size_t nodesFor(unsigned megabytes);

    // Searches for the player on turn until the hard deadline, the node limit (here: the number
    // of iterations) or a proven result ends it; limits.depth caps the tree depth in moves, and
    // the search ends as well once every line to that depth has been evaluated.
    // `board` is left as it was.
    MctsInfo search(SearchBoard& board, const SearchLimits& limits);

private:
    using Result = std::array<float, 8>;
    static constexpr std::uint32_t NoChild = 0xFFFFFFFFu;

    // One position of the tree: the move that led to it, the sums of each player's results over
    // its visits, and its children (a block of consecutive nodes). A solved node holds its
    // exact result instead, which every later visit hands up unchanged. A node at
    // the depth limit is solved by its evaluation, and so is a node whose children all are:
    // such a result is certain only to that depth (`horizon`), and holds for no other root.
    struct Node {
        std::uint64_t hash = 0;
        Result sum{};
        std::uint32_t visits = 0;
        std::uint32_t firstChild = NoChild;
        std::uint32_t children = 0;
        SearchMove move;
        Player mover = Player::P_INVALID;
        bool solved = false;
        bool horizon = false;

        float mean(Player p) const;
    };

    void prepareRoot(SearchBoard& board);
    bool reuseSubtree(std::uint64_t hash);
    void keepSubtree(std::uint32_t root);
    void unsolveHorizon();
    void iterate(SearchBoard& board);
    bool expand(std::uint32_t node, SearchBoard& board);
    unsigned keepBestThrows(SearchBoard& board, unsigned count);
    std::uint32_t select(const Node& parent, Player p);
    Result simulate(SearchBoard& board, unsigned depth);
    SearchMove playoutMove(SearchBoard& board);
    template <typename Next>
    SearchMove chooseGreedily(SearchBoard& board, Next&& next);
    SearchMove placementAt(const SearchBoard& board, index_t i);
    std::size_t draw(std::size_t n);
    int captureGain(SearchBoard& board, SearchMove move);
    Result finalResult(const SearchBoard& board) const;
    Result evaluatedResult(const SearchBoard& board) const;
    void backup(const Result& result);
    void trySolve(std::uint32_t node, Player p);
    float historyOf(Player p, index_t square) const;
    void fillInfo(MctsInfo& info, Player root) const;

    SearchParams m_params;
    Evaluator m_eval;
    std::size_t m_maxNodes;
    std::size_t m_squares;
    std::vector<Node> m_nodes;
    // Progressive history: per player and square the sum of results and the number of
    // simulations that held a move there.
    std::vector<float> m_historySum;
    std::vector<float> m_historyCount;
    std::mt19937 m_random{0};
    SearchNow m_now = SearchClock::now;

    // State of one iteration: the nodes from the root down, and every move of the simulation.
    std::vector<std::uint32_t> m_path;
    std::vector<PlyMove> m_played;
    std::vector<SearchMove> m_moves;
    // Bomb throws with their value for the thrower, while a node keeps the best of them.
    std::vector<std::pair<int, SearchMove>> m_throws;
    // The free squares next to stones, where a playout looks for placements.
    std::vector<index_t> m_squaresNear;
    // The undo depth of the board at the root, the depth limit and the deepest node reached.
    unsigned m_undoBase = 0;
    unsigned m_limitDepth = 0;
    unsigned m_maxDepth = 0;
    // Some node was solved at the depth limit: the next request must unsolve such nodes, and
    // without depth limits it need not walk the kept tree for them.
    bool m_horizonNodes = false;
};
