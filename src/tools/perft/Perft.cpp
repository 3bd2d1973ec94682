#include "tools/perft/Perft.hpp"

#include "common/Game.hpp"
#include "common/GameBoard.hpp"
#include "search/SearchBoard.hpp"

namespace {

// The search board: make/unmake through its undo log, one move buffer per depth, and the last
// level counted without making its moves.
class SearchPerft : public PerftEngine {
public:
    explicit SearchPerft(const Map& map) : m_board(map) {}

    std::uint64_t count(unsigned depth) override { return leaves(depth); }

    std::vector<std::pair<Move, std::uint64_t>> divide(unsigned depth) override {
        std::vector<std::pair<Move, std::uint64_t>> result;
        std::vector<SearchMove> moves;
        m_board.generateMoves(moves);
        for (const SearchMove move : moves) {
            const Move played = m_board.toMove(move);
            m_board.makeMove(move);
            result.emplace_back(played, depth > 1 ? leaves(depth - 1) : 1u);
            m_board.unmakeMove();
        }
        return result;
    }

private:
    std::uint64_t leaves(unsigned depth) {
        if (depth == 1) {
            return m_board.countMoves(m_board.toMove());
        }
        if (m_buffers.size() <= depth) {
            m_buffers.resize(depth + 1u);
        }
        std::vector<SearchMove>& moves = m_buffers[depth];
        moves.resize(m_board.maxMoves());
        const unsigned n = m_board.generateMoves(moves.data());
        std::uint64_t total = 0;
        for (unsigned k = 0; k < n; ++k) {
            m_board.makeMove(moves[k]);
            total += leaves(depth - 1);
            m_board.unmakeMove();
        }
        return total;
    }

    SearchBoard m_board;
    std::vector<std::vector<SearchMove>> m_buffers;
};

// A GameBoard whose whole content can be saved and put back: squares, stocks, counts, mapping
// and flags.
class SnapshotBoard : public GameBoard {
public:
    struct Snapshot {
        std::vector<Square> squares;
        GameBoardState state;
        std::array<Square, 9> ptob;
        std::array<Player, 9> btop;
        std::uint32_t nonHoles = 0;
    };

    using GameBoard::GameBoard;

    void save(Snapshot& s) const {
        s.squares.assign(squares.get(), squares.get() + boardsize);
        s.state = state;
        s.ptob = ptob_map;
        s.btop = btop_map;
        s.nonHoles = reducedboardsize;
    }
    void restore(const Snapshot& s) {
        std::copy(s.squares.begin(), s.squares.end(), squares.get());
        state = s.state;
        ptob_map = s.ptob;
        btop_map = s.btop;
        reducedboardsize = s.nonHoles;
    }
};

// The referee as it stands: moves from Game::nextMove, played with Game::makeMove of an active
// game; per node the turn state goes on the game's state stack and the board is copied back.
class ReferencePerft : public PerftEngine, private Game {
public:
    explicit ReferencePerft(const Map& map)
        : Game(map, new SnapshotBoard(map), false), m_board(static_cast<SnapshotBoard*>(m_gb)) {}

    std::uint64_t count(unsigned depth) override { return leaves(depth); }

    std::vector<std::pair<Move, std::uint64_t>> divide(unsigned depth) override {
        std::vector<std::pair<Move, std::uint64_t>> result;
        forEachMove(depth,
                    [&](const Move& move, std::uint64_t n) { result.emplace_back(move, n); });
        return result;
    }

private:
    std::uint64_t leaves(unsigned depth) {
        std::uint64_t total = 0;
        if (depth == 1) {
            Move move;
            while (nextMove(move, false)) {
                ++total;
            }
            return total;
        }
        forEachMove(depth, [&](const Move&, std::uint64_t n) { total += n; });
        return total;
    }

    template <typename Report>
    void forEachMove(unsigned depth, Report report) {
        if (m_snapshots.size() <= depth) {
            m_snapshots.resize(depth + 1u);
        }
        Move move;
        while (nextMove(move, false)) {
            const Move played = move;
            pushState();
            m_board->save(m_snapshots[depth]);
            makeMove(played);
            report(played, depth > 1 ? leaves(depth - 1) : 1u);
            m_board->restore(m_snapshots[depth]);
            popState(true);
        }
    }

    SnapshotBoard* m_board;
    std::vector<SnapshotBoard::Snapshot> m_snapshots;
};

} // namespace

std::unique_ptr<PerftEngine> makePerftEngine(const std::string& name, const Map& map) {
    if (name == "search") {
        return std::make_unique<SearchPerft>(map);
    }
    if (name == "reference") {
        return std::make_unique<ReferencePerft>(map);
    }
    return nullptr;
}
