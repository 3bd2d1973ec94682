#include "search/Searcher.hpp"

#include <algorithm>
#include <cstdlib>
#include <numeric>
#include <sstream>

namespace {

// XORed into the position hash at the root player's nodes of best-reply search: there the
// same position may be searched as a node of the root player or of its opponents.
constexpr std::uint64_t BestReplyMaxKey = 0x9d3f1c2b7a6e5d41ull;

// Short names of the fixed numbers; the tunable ones are read from m_params.
constexpr int Infinity = SearchParams::Infinity;
constexpr unsigned MaxPly = SearchParams::MaxPly;

} // namespace

Searcher::Searcher(const SearchBoard& board, TranspositionTable* table, const SearchParams& params)
    : m_params(params), m_eval(board, params), m_table(table), m_lists(MaxPly + 1),
      m_killers(MaxPly + 2), m_history(9 * std::size_t{board.size()}, 0),
      m_pv(MaxPly + 2, std::vector<PlyMove>(MaxPly + 2)), m_pvLength(MaxPly + 2, 0) {}

// Iterative deepening: each iteration starts with the best move of the one before, and a
// search stopped in the middle of an iteration keeps the best move of that iteration if at
// least its first move was searched to the end.
SearchInfo Searcher::search(SearchBoard& board, const SearchLimits& limits, const Report& report) {
    const auto start = m_now();
    m_board = &board;
    m_board->trackNearStones(true);
    m_root = board.toMove();
    m_limits = limits;
    m_nodes = 0;
    m_work = 0;
    m_nextCheck = clockInterval();
    m_stopped = false;
    m_twoPlayers = board.validPlayers() <= 2;
    m_bestReply = m_strategy == MultiPlayerSearch::BEST_REPLY && !m_twoPlayers;
    SearchInfo info;
    prepareRoot();
    if (!m_rootMoves.empty()) {
        info.best = m_rootMoves.front();
        deepen(info, start, report);
    }
    info.nodes = m_nodes;
    info.elapsed = m_now() - start;
    m_board->trackNearStones(false);
    m_board = nullptr;
    return info;
}

// The root moves in static order, equal keys in an order drawn from the seed; the history of
// earlier searches fades and killers are forgotten.
void Searcher::prepareRoot() {
    m_rootMoves.clear();
    if (m_board->isFinal() || m_root == Player::P_INVALID) {
        return;
    }
    if (m_table != nullptr) {
        m_table->newSearch();
    }
    for (int& h : m_history) {
        h /= m_params.historyDecay;
    }
    std::fill(m_killers.begin(), m_killers.end(), std::array<PlyMove, 2>{});
    MoveList& list = m_lists[0];
    list.moves.clear();
    addMoves(list, m_root);
    std::shuffle(list.moves.begin(), list.moves.end(), m_random);
    const TTEntry* entry = m_table != nullptr ? m_table->probe(positionKey(true)) : nullptr;
    orderMoves(list, 0, entry != nullptr ? entry->move : SearchMove{}, true, false);
    for (unsigned i : list.order) {
        m_rootMoves.push_back(list.moves[i]);
    }
}

// Deepens until the depth limit, the time or an exact result ends it (see SearchInfo::exact).
void Searcher::deepen(SearchInfo& info, SearchClock::time_point start, const Report& report) {
    constexpr unsigned MaxDepth = SearchParams::MaxDepth;
    const unsigned maxDepth = m_limits.depth != 0 ? std::min(m_limits.depth, MaxDepth) : MaxDepth;
    const unsigned movesLeft = m_eval.movesLeftBound(*m_board);
    for (unsigned depth = 1; depth <= maxDepth; ++depth) {
        const auto now = m_now();
        if (now >= m_limits.deadline || (depth > 1 && now >= m_limits.softDeadline)) {
            break;
        }
        m_iterationHasBest = false;
        const int score = searchRoot(depth);
        if (m_stopped) {
            if (m_iterationHasBest) {
                info.best = m_iterationBest;
                info.score = m_iterationScore;
                info.pv.assign(m_pv[0].begin(), m_pv[0].begin() + m_pvLength[0]);
            }
            break;
        }
        info.depth = depth;
        info.score = score;
        info.best = m_rootMoves.front();
        info.pv.assign(m_pv[0].begin(), m_pv[0].begin() + m_pvLength[0]);
        info.exact =
            depth >= movesLeft || (m_twoPlayers && std::abs(score) >= SearchParams::HeuristicLimit);
        info.nodes = m_nodes;
        info.elapsed = m_now() - start;
        if (report) {
            report(info);
        }
        if (info.exact) {
            break;
        }
    }
}

// The root is a node of the root player with a full window; the best move moves to the front
// for the next iteration.
int Searcher::searchRoot(unsigned depth) {
    int alpha = -Infinity;
    int best = -Infinity;
    std::size_t bestIndex = 0;
    m_pvLength[0] = 0;
    std::size_t width = m_rootMoves.size();
    if (m_bestReply && depth > 2 && m_params.bestReplyRootWidth > 0) {
        width = std::min(width, static_cast<std::size_t>(m_params.bestReplyRootWidth));
    }
    for (std::size_t i = 0; i < width; ++i) {
        const PlyMove m = m_rootMoves[i];
        const int v = childScore(m, depth - 1, alpha, Infinity, 1, true, i == 0);
        if (m_stopped) {
            break;
        }
        if (v > best) {
            best = v;
            bestIndex = i;
            m_iterationBest = m;
            m_iterationScore = v;
            m_iterationHasBest = true;
            updatePv(0, m);
            alpha = std::max(alpha, v);
        }
    }
    if (!m_stopped) {
        std::rotate(m_rootMoves.begin(), m_rootMoves.begin() + static_cast<long>(bestIndex),
                    m_rootMoves.begin() + static_cast<long>(bestIndex) + 1);
    }
    return best;
}

// Makes the move, searches the child with a null window unless it is the first move (and
// again with the full window when the null window fails on the wrong side), and takes it back.
int Searcher::childScore(const PlyMove& m, unsigned depth, int alpha, int beta, unsigned ply,
                         bool maxNode, bool first) {
    m_board->makeMove(m.move, m.player);
    const bool childMax = !maxNode;
    int v = 0;
    if (first) {
        v = alphaBeta(depth, alpha, beta, ply, childMax);
    } else if (maxNode) {
        v = alphaBeta(depth, alpha, alpha + 1, ply, childMax);
        if (v > alpha && v < beta && !m_stopped) {
            v = alphaBeta(depth, alpha, beta, ply, childMax);
        }
    } else {
        v = alphaBeta(depth, beta - 1, beta, ply, childMax);
        if (v < beta && v > alpha && !m_stopped) {
            v = alphaBeta(depth, alpha, beta, ply, childMax);
        }
    }
    m_board->unmakeMove();
    return v;
}

// Fail-soft alpha-beta from the root player's view: its nodes maximise, the others minimise.
// In best-reply search `bestReplyMax` tells whose node it is; otherwise the player on turn does.
int Searcher::alphaBeta(unsigned depth, int alpha, int beta, unsigned ply, bool bestReplyMax) {
    m_pvLength[ply] = ply;
    ++m_nodes;
    if (spend(1)) {
        return 0;
    }
    if (m_board->isFinal() || depth == 0 || ply >= MaxPly) {
        return score();
    }
    const std::uint64_t key = positionKey(bestReplyMax);
    SearchMove ttMove;
    if (const TTEntry* entry = m_table != nullptr ? m_table->probe(key) : nullptr) {
        ttMove = entry->move;
        if (entry->depth >= depth && cutsOff(*entry, alpha, beta)) {
            return entry->score;
        }
    }
    MoveList& list = m_lists[ply];
    const bool maxNode = generate(list, bestReplyMax);
    if (spend(list.moves.size() / static_cast<unsigned>(m_params.moveWorkDivisor))) {
        return 0;
    }
    if (list.moves.empty()) {
        return heuristic();
    }
    orderMoves(list, ply, ttMove, maxNode, true);
    if (m_stopped) {
        return 0;
    }
    const int alphaIn = alpha;
    const int betaIn = beta;
    int best = maxNode ? -Infinity : Infinity;
    PlyMove bestMove;
    for (std::size_t n = 0; n < list.order.size(); ++n) {
        const PlyMove m = list.moves[list.order[n]];
        const int v = childScore(m, depth - 1, alpha, beta, ply + 1, maxNode, n == 0);
        if (m_stopped) {
            return 0;
        }
        if (maxNode ? v > best : v < best) {
            best = v;
            bestMove = m;
            if (maxNode ? v > alpha : v < beta) {
                (maxNode ? alpha : beta) = v;
                updatePv(ply, m);
            }
        }
        if (alpha >= beta) {
            rememberCutoff(m, depth, ply, ttMove);
            break;
        }
    }
    if (m_table != nullptr) {
        const Bound bound = best <= alphaIn  ? Bound::UPPER
                            : best >= betaIn ? Bound::LOWER
                                             : Bound::EXACT;
        m_table->store(key, depth, best, bound, bestMove.move);
    }
    return best;
}

bool Searcher::cutsOff(const TTEntry& entry, int alpha, int beta) {
    switch (entry.bound) {
    case Bound::EXACT:
        return true;
    case Bound::LOWER:
        return entry.score >= beta;
    case Bound::UPPER:
        return entry.score <= alpha;
    default:
        return false;
    }
}

// The moves of the node; true for a node of the root player. Best-reply search gathers the
// moves of every opponent at their nodes; a side without moves passes to the other.
bool Searcher::generate(MoveList& list, bool bestReplyMax) {
    list.moves.clear();
    if (!m_bestReply) {
        addMoves(list, m_board->toMove());
        return m_board->toMove() == m_root;
    }
    bool maxNode = bestReplyMax;
    for (int side = 0; side < 2 && list.moves.empty(); ++side) {
        if (side == 1) {
            maxNode = !maxNode;
        }
        if (maxNode) {
            addMoves(list, m_root);
            continue;
        }
        for (unsigned p = 1; p <= m_board->players(); ++p) {
            if (static_cast<Player>(p) != m_root) {
                addMoves(list, static_cast<Player>(p));
            }
        }
    }
    return maxNode;
}

void Searcher::addMoves(MoveList& list, Player p) {
    list.buffer.resize(m_board->maxMoves());
    const unsigned n = m_board->generateMoves(p, list.buffer.data());
    for (unsigned i = 0; i < n; ++i) {
        list.moves.push_back(PlyMove{list.buffer[i], p});
    }
}

// Order: the table's move, the two killers of the ply, then history plus the square's static
// value, with override moves after the others. Bomb throws are first ranked (and, away from
// the root, cut down) by their immediate effect.
void Searcher::orderMoves(MoveList& list, unsigned ply, SearchMove ttMove, bool maxNode,
                          bool prune) {
    const bool throws = m_board->phase() == GamePhase::TERMINAL;
    if (throws) {
        keepStrongestThrows(list, maxNode, prune);
    }
    const std::size_t n = list.moves.size();
    list.keys.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
        const PlyMove& m = list.moves[i];
        int key = 0;
        if (m.move == ttMove) {
            key = SearchParams::OrderTTMove;
        } else if (m == m_killers[ply][0]) {
            key = SearchParams::OrderKiller1;
        } else if (m == m_killers[ply][1]) {
            key = SearchParams::OrderKiller2;
        } else if (throws) {
            key = -static_cast<int>(i);
        } else {
            key = history(m) + m_params.orderSquareScale * m_eval.squareValue(m.move.index);
            if (m_board->isOccupied(m.move.index)) {
                key += m_params.orderOverridePenalty;
            }
        }
        list.keys[i] = key;
    }
    list.order.resize(n);
    std::iota(list.order.begin(), list.order.end(), 0u);
    std::stable_sort(list.order.begin(), list.order.end(),
                     [&list](unsigned a, unsigned b) { return list.keys[a] > list.keys[b]; });
}

// Ranks the throws by the score right after them (for the side that throws) and, when
// `prune` is set, keeps only the strongest few. Out of time, the throws not yet looked at
// come last.
void Searcher::keepStrongestThrows(MoveList& list, bool maxNode, bool prune) {
    const std::size_t n = list.moves.size();
    list.keys.assign(n, -Infinity);
    for (std::size_t i = 0; i < n; ++i) {
        if (spend(1)) {
            break;
        }
        m_board->makeMove(list.moves[i].move, list.moves[i].player);
        const int v = score();
        m_board->unmakeMove();
        list.keys[i] = maxNode ? v : -v;
    }
    list.order.resize(n);
    std::iota(list.order.begin(), list.order.end(), 0u);
    std::stable_sort(list.order.begin(), list.order.end(),
                     [&list](unsigned a, unsigned b) { return list.keys[a] > list.keys[b]; });
    const std::size_t keep =
        prune ? std::min<std::size_t>(n, static_cast<std::size_t>(m_params.bombPhaseWidth)) : n;
    m_ranked.clear();
    for (std::size_t i = 0; i < keep; ++i) {
        m_ranked.push_back(list.moves[list.order[i]]);
    }
    list.moves.swap(m_ranked);
}

void Searcher::rememberCutoff(const PlyMove& m, unsigned depth, unsigned ply, SearchMove ttMove) {
    if (m.move == ttMove) {
        return;
    }
    if (!(m_killers[ply][0] == m)) {
        m_killers[ply][1] = m_killers[ply][0];
        m_killers[ply][0] = m;
    }
    int& h = history(m);
    h += m_params.historyScale * static_cast<int>(depth * depth);
    if (h > m_params.historyMax) {
        for (int& entry : m_history) {
            entry /= 2;
        }
    }
}

void Searcher::updatePv(unsigned ply, const PlyMove& m) {
    std::vector<PlyMove>& line = m_pv[ply];
    const std::vector<PlyMove>& child = m_pv[ply + 1];
    line[ply] = m;
    const unsigned childEnd = std::max(m_pvLength[ply + 1], ply + 1);
    for (unsigned k = ply + 1; k < childEnd; ++k) {
        line[k] = child[k];
    }
    m_pvLength[ply] = childEnd;
}

std::uint64_t Searcher::positionKey(bool bestReplyMax) const {
    return m_board->hash() ^ (m_bestReply && bestReplyMax ? BestReplyMaxKey : 0);
}

int Searcher::score() const {
    return m_board->isFinal() ? m_eval.finalScore(*m_board, m_root) : heuristic();
}

int Searcher::heuristic() const {
    if (!m_evaluation) {
        return m_eval.evaluate(*m_board, m_root);
    }
    const int limit = SearchParams::HeuristicLimit - 1;
    return std::clamp(m_evaluation(*m_board, m_root), -limit, limit);
}

std::uint64_t Searcher::clockInterval() const {
    return static_cast<std::uint64_t>(m_params.clockCheckInterval);
}

// Counts work done; after every clockCheckInterval units the clock and the node limit are read.
bool Searcher::spend(std::uint64_t work) {
    if (m_stopped) {
        return true;
    }
    m_work += work;
    if (m_work < m_nextCheck) {
        return false;
    }
    m_nextCheck = m_work + clockInterval();
    if ((m_limits.nodes != 0 && m_nodes >= m_limits.nodes) || m_now() >= m_limits.deadline) {
        m_stopped = true;
    }
    return m_stopped;
}

int& Searcher::history(const PlyMove& m) {
    return m_history[static_cast<std::size_t>(m.player) * m_board->size() + m.move.index];
}

std::string moveText(const SearchBoard& board, const PlyMove& m, bool withPlayer) {
    const Move move = board.toMove(m.move, m.player);
    std::ostringstream out;
    if (withPlayer) {
        out << 'P' << static_cast<unsigned>(m.player) << ':';
    }
    out << move.x << ',' << move.y;
    if (move.choice != MoveChoice::NONE) {
        out << '/' << static_cast<unsigned>(move.choice);
    }
    return out.str();
}
