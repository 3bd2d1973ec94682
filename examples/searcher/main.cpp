// my-searcher: a player that runs the SDK's alpha-beta searcher within the server's time limit,
// with an evaluation of its own in place of the built-in one: stones and mobility against the
// strongest opponent. Options as every client: -s HOST, -p PORT, -g GROUP.
#include <algorithm>
#include <memory>

#include "client/Client.hpp"
#include "common/ProgramMain.hpp"
#include "search/SearchBoard.hpp"
#include "search/Searcher.hpp"
#include "search/TimeBudget.hpp"

namespace {

// Used when the server sets no time limit.
constexpr unsigned DefaultMoveMs = 1000;

// Ten points a stone plus five a square to move to, the root player against the best of the
// others. Called at every leaf of the search, so it must be quick.
int stonesAndMobility(const SearchBoard& board, Player root) {
    const auto value = [&board](Player p) {
        return 10 * static_cast<int>(board.stones(p)) + 5 * static_cast<int>(board.mobility(p));
    };
    int strongest = 0;
    for (unsigned p = 1; p <= board.players(); ++p) {
        const auto other = static_cast<Player>(p);
        if (other != root && !board.isDisqualified(other)) {
            strongest = std::max(strongest, value(other));
        }
    }
    return value(root) - strongest;
}

// A Client whose getMove searches a fresh search board of the game's position.
class MySearcher : public Client {
public:
    MySearcher() : Client(0) {}

protected:
    Move getMove(Game* game, unsigned int timelimit, unsigned int depthlimit) override {
        SearchBoard board(*game);
        if (m_searcher == nullptr) {
            m_table = std::make_unique<TranspositionTable>(16);
            m_searcher = std::make_unique<Searcher>(board, m_table.get());
            m_searcher->setEvaluation(stonesAndMobility);
        }
        const unsigned limit = timelimit != 0 ? timelimit : DefaultMoveMs;
        const SearchInfo info =
            m_searcher->search(board, moveLimits(requestArrival(), limit, depthlimit));
        return info.best.move.isValid() ? board.toMove(info.best.move, info.best.player) : Move();
    }

private:
    std::unique_ptr<TranspositionTable> m_table;
    std::unique_ptr<Searcher> m_searcher;
};

} // namespace

int main(int argc, char** argv) {
    MySearcher player;
    return runProgram(player, argc, argv);
}
