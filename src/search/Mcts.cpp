// Monte-Carlo tree search on the search board: selection, expansion, a short guided playout,
// max-n backup, the solver and the reuse of the tree between requests.
#include "search/Mcts.hpp"

#include <algorithm>
#include <cmath>

namespace {

constexpr Player playerAt(unsigned p) {
    return static_cast<Player>(p);
}

// An unvisited child is tried before every visited one.
constexpr double UnvisitedScore = 1e6;
// At most this many moves of the most visited line are reported.
constexpr unsigned PvLength = 12;

} // namespace

float Mcts::Node::mean(Player p) const {
    const float total = sum[static_cast<unsigned>(p) - 1];
    return solved ? total : visits == 0 ? 0.0f : total / static_cast<float>(visits);
}

Mcts::Mcts(const SearchBoard& board, std::size_t maxNodes, const SearchParams& params)
    : m_params(params), m_eval(board, params),
      m_maxNodes(std::max<std::size_t>(maxNodes, board.maxMoves() + 1u)), m_squares(board.size()),
      m_historySum(9 * std::size_t{board.size()}, 0.0f),
      m_historyCount(9 * std::size_t{board.size()}, 0.0f), m_moves(board.maxMoves()) {
    m_nodes.reserve(m_maxNodes);
}

std::size_t Mcts::nodesFor(unsigned megabytes) {
    return std::size_t{megabytes} * (std::size_t{1} << 20) / sizeof(Node);
}

// Iterates until the clock, the iteration limit or a proven root ends it; even with no time
// left the answer is a legal move (the best of a kept tree, or the first of a new one).
MctsInfo Mcts::search(SearchBoard& board, const SearchLimits& limits) {
    const auto start = m_now();
    MctsInfo info;
    const Player root = board.toMove();
    if (board.isFinal() || root == Player::P_INVALID || board.generateMoves(m_moves.data()) == 0) {
        info.elapsed = m_now() - start;
        return info;
    }
    prepareRoot(board);
    info.reusedVisits = m_nodes[0].visits;
    m_limitDepth = limits.depth != 0 ? limits.depth : SearchParams::MaxDepth;
    m_maxDepth = 0;
    m_undoBase = board.undoDepth();
    while (!m_nodes[0].solved && (limits.nodes == 0 || info.iterations < limits.nodes) &&
           m_now() < limits.deadline) {
        iterate(board);
        ++info.iterations;
    }
    fillInfo(info, root);
    info.elapsed = m_now() - start;
    return info;
}

// The subtree of the new position when the old tree holds it, else a new root; the history of
// earlier searches fades. A root without children is expanded at once, on an emptied pool if
// the kept tree left no room.
void Mcts::prepareRoot(SearchBoard& board) {
    for (std::size_t i = 0; i < m_historySum.size(); ++i) {
        m_historySum[i] /= 2;
        m_historyCount[i] /= 2;
    }
    if (m_nodes.empty() || !reuseSubtree(board.hash())) {
        m_nodes.assign(1, Node{});
        m_nodes[0].hash = board.hash();
    }
    if (m_horizonNodes) {
        unsolveHorizon();
    }
    if (m_nodes[0].firstChild == NoChild && !expand(0, board)) {
        m_nodes.assign(1, Node{});
        m_nodes[0].hash = board.hash();
        expand(0, board);
    }
}

// Looks for the position among the visited nodes down to SearchParams::mctsReuseDepth moves and
// keeps its subtree.
bool Mcts::reuseSubtree(std::uint64_t hash) {
    std::vector<std::pair<std::uint32_t, unsigned>> queue{{0u, 0u}};
    for (std::size_t next = 0; next < queue.size(); ++next) {
        const auto [index, depth] = queue[next];
        const Node& n = m_nodes[index];
        if (n.hash == hash) {
            keepSubtree(index);
            return true;
        }
        if (depth >= static_cast<unsigned>(m_params.mctsReuseDepth) || n.firstChild == NoChild) {
            continue;
        }
        for (std::uint32_t c = n.firstChild; c < n.firstChild + n.children; ++c) {
            if (m_nodes[c].visits > 0) {
                queue.emplace_back(c, depth + 1);
            }
        }
    }
    return false;
}

// Moves the subtree of `root` to the front of the pool. A node is made before its
// descendants, and sibling blocks stay whole, so keeping the old order moves every node to
// an index no greater than its old one: the copy works in place, and `root` becomes node 0.
void Mcts::keepSubtree(std::uint32_t root) {
    if (root == 0) {
        return;
    }
    std::vector<std::uint32_t> newIndex(m_nodes.size(), NoChild);
    std::vector<std::uint32_t> stack{root};
    while (!stack.empty()) {
        const Node& n = m_nodes[stack.back()];
        newIndex[stack.back()] = 0;
        stack.pop_back();
        for (std::uint32_t c = n.firstChild;
             n.firstChild != NoChild && c < n.firstChild + n.children; ++c) {
            stack.push_back(c);
        }
    }
    std::uint32_t kept = 0;
    for (std::uint32_t i = root; i < m_nodes.size(); ++i) {
        if (newIndex[i] != NoChild) {
            newIndex[i] = kept++;
        }
    }
    for (std::uint32_t i = root; i < m_nodes.size(); ++i) {
        if (newIndex[i] != NoChild) {
            Node n = m_nodes[i];
            if (n.firstChild != NoChild) {
                n.firstChild = newIndex[n.firstChild];
            }
            m_nodes[newIndex[i]] = n;
        }
    }
    m_nodes.resize(kept);
}

// Results solved at the depth limit hold only for the root they were found from: such nodes
// go back to sums over their visits, to be searched on from the new root.
void Mcts::unsolveHorizon() {
    for (Node& n : m_nodes) {
        if (n.horizon) {
            for (float& total : n.sum) {
                total *= static_cast<float>(n.visits);
            }
            n.solved = n.horizon = false;
        }
    }
    m_horizonNodes = false;
}

// One simulation: down the tree by UCT to a node not yet expanded (a node is expanded on its
// second visit), a playout from there, and the result backed up along the path.
void Mcts::iterate(SearchBoard& board) {
    m_path.assign(1, 0u);
    m_played.clear();
    std::uint32_t node = 0;
    unsigned depth = 0;
    Result result{};
    while (true) {
        Node& n = m_nodes[node];
        if (n.solved) {
            result = n.sum;
            break;
        }
        if (board.isFinal()) {
            n.solved = true;
            result = n.sum = finalResult(board);
            break;
        }
        if (depth >= m_limitDepth) {
            n.solved = n.horizon = m_horizonNodes = true;
            result = n.sum = evaluatedResult(board);
            break;
        }
        if (n.firstChild == NoChild && ((n.visits == 0 && node != 0) || !expand(node, board))) {
            result = simulate(board, depth);
            break;
        }
        const Player p = board.toMove();
        node = select(m_nodes[node], p);
        Node& child = m_nodes[node];
        board.makeMove(child.move);
        m_played.push_back({child.move, p});
        if (child.visits == 0) {
            child.hash = board.hash();
        }
        m_path.push_back(node);
        m_maxDepth = std::max(m_maxDepth, ++depth);
    }
    while (board.undoDepth() > m_undoBase) {
        board.unmakeMove();
    }
    backup(result);
}

// Adds a block of children, one per legal move in a random order (in the bomb phase only the
// best throws), unless the pool is full or the player on turn has no move (a position the
// server forced).
bool Mcts::expand(std::uint32_t node, SearchBoard& board) {
    unsigned count = board.generateMoves(m_moves.data());
    if (count == 0 || m_nodes.size() + count > m_maxNodes) {
        return false;
    }
    std::shuffle(m_moves.begin(), m_moves.begin() + count, m_random);
    if (board.phase() != GamePhase::BUILD) {
        count = keepBestThrows(board, count);
    }
    const auto first = static_cast<std::uint32_t>(m_nodes.size());
    for (unsigned i = 0; i < count; ++i) {
        Node child;
        child.move = m_moves[i];
        child.mover = board.toMove();
        m_nodes.push_back(child);
    }
    m_nodes[node].firstChild = first;
    m_nodes[node].children = count;
    return true;
}

// Moves the mctsBombWidth throws that leave the thrower best off against its strongest
// opponent to the front of the moves, and returns how many there are.
unsigned Mcts::keepBestThrows(SearchBoard& board, unsigned count) {
    const auto width = static_cast<unsigned>(m_params.mctsBombWidth);
    if (count <= width) {
        return count;
    }
    const Player p = board.toMove();
    m_throws.clear();
    for (unsigned i = 0; i < count; ++i) {
        board.makeMove(m_moves[i]);
        m_throws.emplace_back(m_eval.evaluate(board, p), m_moves[i]);
        board.unmakeMove();
    }
    std::partial_sort(m_throws.begin(), m_throws.begin() + width, m_throws.end(),
                      [](const auto& a, const auto& b) { return a.first > b.first; });
    for (unsigned i = 0; i < width; ++i) {
        m_moves[i] = m_throws[i].second;
    }
    return width;
}

// UCT with progressive history for player p, who moves at `parent`: unvisited children first,
// the one with the best history leading.
std::uint32_t Mcts::select(const Node& parent, Player p) {
    const double logVisits = std::log(std::max(1.0, static_cast<double>(parent.visits)));
    double best = -1.0;
    std::uint32_t bestIndex = parent.firstChild;
    for (std::uint32_t c = parent.firstChild; c < parent.firstChild + parent.children; ++c) {
        const Node& child = m_nodes[c];
        const double history = historyOf(p, child.move.index);
        double score = UnvisitedScore + history;
        if (child.visits != 0) {
            const double visits = child.visits;
            const double v = child.mean(p);
            score = v + m_params.mctsExploration * std::sqrt(logVisits / visits) +
                    m_params.mctsHistoryWeight * history / (visits * (1.0 - v) + 1.0);
        }
        if (score > best) {
            best = score;
            bestIndex = c;
        }
    }
    return bestIndex;
}

// Plays up to SearchParams::mctsPlayoutMoves guided moves, never beyond the depth limit, and
// scores the end: exactly when the game is over, by the evaluation otherwise.
Mcts::Result Mcts::simulate(SearchBoard& board, unsigned depth) {
    for (unsigned k = 0; k < static_cast<unsigned>(m_params.mctsPlayoutMoves) &&
                         depth + k < m_limitDepth && !board.isFinal();
         ++k) {
        const Player p = board.toMove();
        const SearchMove move = playoutMove(board);
        if (!move.isValid()) {
            break;
        }
        board.makeMove(move);
        m_played.push_back({move, p});
    }
    return board.isFinal() ? finalResult(board) : evaluatedResult(board);
}

// A placement on the free squares next to stones, tried in a random order: far cheaper than
// generating every move (override moves included) on a large map. Only when none of them is
// legal (the bomb phase, override moves only) are all moves generated and drawn from.
SearchMove Mcts::playoutMove(SearchBoard& board) {
    if (board.phase() == GamePhase::BUILD) {
        m_squaresNear.clear();
        board.forEachFreeNearOccupied([this](index_t i) { m_squaresNear.push_back(i); });
        const Player p = board.toMove();
        std::size_t tried = 0;
        const SearchMove placed = chooseGreedily(board, [&](SearchMove& move) {
            for (const std::size_t n = m_squaresNear.size(); tried < n;) {
                std::swap(m_squaresNear[tried], m_squaresNear[tried + draw(n - tried)]);
                move = placementAt(board, m_squaresNear[tried++]);
                if (board.isLegal(p, move)) {
                    return true;
                }
            }
            return false;
        });
        if (placed.isValid()) {
            return placed;
        }
    }
    const unsigned count = board.generateMoves(m_moves.data());
    if (count == 0) {
        return {};
    }
    return chooseGreedily(board, [&](SearchMove& move) {
        move = m_moves[draw(count)];
        return true;
    });
}

// Epsilon-greedy over the moves `next` yields: the first with chance mctsPlayoutEpsilon, else
// the best by captureGain of the first mctsPlayoutSample; no move when it yields none.
template <typename Next>
SearchMove Mcts::chooseGreedily(SearchBoard& board, Next&& next) {
    const bool random =
        std::uniform_real_distribution<double>(0.0, 1.0)(m_random) < m_params.mctsPlayoutEpsilon;
    const unsigned wanted = random ? 1u : static_cast<unsigned>(m_params.mctsPlayoutSample);
    SearchMove best;
    int bestGain = 0;
    SearchMove move;
    for (unsigned found = 0; found < wanted && next(move); ++found) {
        const int gain = wanted == 1 ? 0 : captureGain(board, move);
        if (found == 0 || gain > bestGain) {
            best = move;
            bestGain = gain;
        }
    }
    return best;
}

// The placement on square i with a choice the square accepts: a player drawn at random on a
// choice square, the bomb or the override stone on a bonus square.
SearchMove Mcts::placementAt(const SearchBoard& board, index_t i) {
    MoveChoice choice = MoveChoice::NONE;
    if (board.square(i) == Square::CHOICE) {
        choice = static_cast<MoveChoice>(1 + draw(board.players()));
    } else if (board.square(i) == Square::BONUS) {
        choice = draw(2) == 0 ? MoveChoice::BOMB : MoveChoice::OVERRIDE;
    }
    return SearchMove{i, choice, false};
}

// A number in [0, n) (n > 0).
std::size_t Mcts::draw(std::size_t n) {
    return std::uniform_int_distribution<std::size_t>(0, n - 1)(m_random);
}

// The stones the move wins for the player on turn against the average opponent, in
// evaluation points, plus the value of its square; an override stone spent costs its value.
int Mcts::captureGain(SearchBoard& board, SearchMove move) {
    const Player p = board.toMove();
    const auto balance = [&board, p] {
        int others = 0;
        for (unsigned q = 1; q <= board.players(); ++q) {
            others += playerAt(q) == p ? 0 : static_cast<int>(board.stones(playerAt(q)));
        }
        const int opponents = static_cast<int>(board.players()) - 1;
        return static_cast<int>(board.stones(p)) * opponents - others;
    };
    const int before = balance();
    const bool override = board.isOccupied(move.index) && !move.bomb;
    board.makeMove(move);
    const int gain = balance() - before;
    board.unmakeMove();
    return gain * m_params.stonePoints / static_cast<int>(board.players() - 1) +
           m_eval.squareValue(move.index) - (override ? m_eval.overrideValue() : 0);
}

// Each player's result of a finished game: the rank among the players still in the game
// (shared ranks averaged) from 1 for first to 0 for last, with the stone share as a tie break;
// a disqualified player scores 0.
Mcts::Result Mcts::finalResult(const SearchBoard& board) const {
    Result result{};
    unsigned total = 0;
    unsigned valid = 0;
    for (unsigned p = 1; p <= board.players(); ++p) {
        if (!board.isDisqualified(playerAt(p))) {
            total += board.stones(playerAt(p));
            ++valid;
        }
    }
    for (unsigned p = 1; p <= board.players(); ++p) {
        if (board.isDisqualified(playerAt(p))) {
            continue;
        }
        const unsigned own = board.stones(playerAt(p));
        double below = 0.0;
        for (unsigned q = 1; q <= board.players(); ++q) {
            if (q != p && !board.isDisqualified(playerAt(q))) {
                const unsigned theirs = board.stones(playerAt(q));
                below += theirs < own ? 1.0 : theirs == own ? 0.5 : 0.0;
            }
        }
        const double rank = valid > 1 ? below / (valid - 1) : 1.0;
        const double share = total > 0 ? static_cast<double>(own) / total : 0.0;
        result[p - 1] = static_cast<float>((1.0 - m_params.mctsStoneShare) * rank +
                                           m_params.mctsStoneShare * share);
    }
    return result;
}

// Each player's chance by the evaluation of its position against its strongest opponent.
Mcts::Result Mcts::evaluatedResult(const SearchBoard& board) const {
    Result result{};
    for (unsigned p = 1; p <= board.players(); ++p) {
        if (!board.isDisqualified(playerAt(p))) {
            const double score = m_eval.evaluate(board, playerAt(p)) / m_params.mctsEvaluationScale;
            result[p - 1] = static_cast<float>(1.0 / (1.0 + std::exp(-score)));
        }
    }
    return result;
}

// Adds the result to every node of the path and to the history of every move played, then
// lets a solved leaf solve its ancestors as far as it can.
void Mcts::backup(const Result& result) {
    for (const PlyMove& m : m_played) {
        const std::size_t slot = static_cast<std::size_t>(m.player) * m_squares + m.move.index;
        m_historySum[slot] += result[static_cast<unsigned>(m.player) - 1];
        m_historyCount[slot] += 1.0f;
    }
    for (const std::uint32_t index : m_path) {
        Node& n = m_nodes[index];
        ++n.visits;
        for (std::size_t p = 0; p < result.size() && !n.solved; ++p) {
            n.sum[p] += result[p];
        }
    }
    for (std::size_t k = m_path.size() - 1; k > 0 && m_nodes[m_path[k]].solved; --k) {
        trySolve(m_path[k - 1], m_nodes[m_path[k]].mover);
    }
}

// The multi-player solver: a node is solved for p, who moves there, when a solved child gives
// p first place alone for certain, or when every child is solved (p takes the best of them;
// below the depth limit's evaluations the result is one to that depth only).
void Mcts::trySolve(std::uint32_t node, Player p) {
    Node& n = m_nodes[node];
    const float win = static_cast<float>(1.0 - m_params.mctsStoneShare) - 1e-4f;
    std::uint32_t best = NoChild;
    bool all = true;
    bool horizon = false;
    for (std::uint32_t c = n.firstChild; c < n.firstChild + n.children; ++c) {
        const Node& child = m_nodes[c];
        horizon = horizon || child.horizon;
        if (!child.solved) {
            all = false;
        } else if (best == NoChild || child.mean(p) > m_nodes[best].mean(p)) {
            best = c;
        }
    }
    if (best == NoChild || (!all && (m_nodes[best].horizon || m_nodes[best].mean(p) < win))) {
        return;
    }
    n.sum = m_nodes[best].sum;
    n.solved = true;
    n.horizon = all && horizon;
}

float Mcts::historyOf(Player p, index_t square) const {
    const std::size_t slot = static_cast<std::size_t>(p) * m_squares + square;
    return m_historyCount[slot] > 0 ? m_historySum[slot] / m_historyCount[slot] : 0.5f;
}

// The most visited root move (the proven best when the root is solved), its share and value,
// and the most visited line.
void Mcts::fillInfo(MctsInfo& info, Player root) const {
    const Node& top = m_nodes[0];
    const auto better = [&top, root](const Node& a, const Node& b) {
        if (top.solved) {
            return a.solved != b.solved ? a.solved : a.mean(root) > b.mean(root);
        }
        return a.visits != b.visits ? a.visits > b.visits : a.mean(root) > b.mean(root);
    };
    std::uint32_t best = top.firstChild;
    for (std::uint32_t c = top.firstChild; c < top.firstChild + top.children; ++c) {
        best = better(m_nodes[c], m_nodes[best]) ? c : best;
    }
    info.best = {m_nodes[best].move, root};
    info.visitShare = top.visits > 0 ? static_cast<double>(m_nodes[best].visits) / top.visits : 0;
    info.value = m_nodes[best].mean(root);
    info.nodes = m_nodes.size();
    info.depth = m_maxDepth;
    info.exact = top.solved && !top.horizon;
    info.complete = top.solved && top.horizon;
    info.pv.push_back(info.best);
    for (std::uint32_t n = best; info.pv.size() < PvLength && m_nodes[n].firstChild != NoChild;) {
        const Node& parent = m_nodes[n];
        n = parent.firstChild;
        for (std::uint32_t c = parent.firstChild; c < parent.firstChild + parent.children; ++c) {
            n = m_nodes[c].visits > m_nodes[n].visits ? c : n;
        }
        if (m_nodes[n].visits == 0) {
            break;
        }
        info.pv.push_back({m_nodes[n].move, m_nodes[n].mover});
    }
}
