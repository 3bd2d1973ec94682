// reversi.search: the C++ searcher on a board's position for the player on turn, within a time
// and depth limit, with the GIL released while it runs.
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include "Bindings.hpp"
#include "search/Searcher.hpp"
#include "search/TranspositionTable.hpp"

namespace py = pybind11;

namespace reversi_python {

namespace {

// The largest transposition table a search may ask for.
constexpr unsigned MaxHashMb = 4096;

// What a search found, as Python reads it.
struct PySearchResult {
    py::object move;
    int player = 0;
    int score = 0;
    unsigned depth = 0;
    std::uint64_t nodes = 0;
    double timeMs = 0;
    bool exact = false;
    std::vector<PyMove> pv;
};

PySearchResult runSearch(PyBoard& self, unsigned timeMs, unsigned depth, unsigned hashMb) {
    if (self.board().isFinal()) {
        throw py::value_error("the game is over");
    }
    if (timeMs == 0 && depth == 0) {
        throw py::value_error("a search needs a time or a depth limit");
    }
    if (hashMb > MaxHashMb) {
        throw py::value_error("hash_mb is at most " + std::to_string(MaxHashMb));
    }
    SearchBoard board(self.board());
    SearchInfo info;
    {
        py::gil_scoped_release release;
        TranspositionTable table(hashMb);
        Searcher searcher(board, &table);
        SearchLimits limits;
        limits.depth = depth;
        if (timeMs != 0) {
            limits.deadline = SearchClock::now() + std::chrono::milliseconds(timeMs);
            limits.softDeadline = limits.deadline;
        }
        info = searcher.search(board, limits);
    }
    PySearchResult result;
    result.move = info.best.move.isValid() ? py::cast(self.toPy(info.best.move)) : py::none();
    result.player = static_cast<int>(info.best.player);
    result.score = info.score;
    result.depth = info.depth;
    result.nodes = info.nodes;
    result.timeMs = std::chrono::duration<double, std::milli>(info.elapsed).count();
    result.exact = info.exact;
    for (const PlyMove& m : info.pv) {
        result.pv.push_back(self.toPy(m.move));
    }
    return result;
}

} // namespace

void bindSearch(py::module_& module) {
    py::class_<PySearchResult>(module, "SearchResult", "The outcome of reversi.search")
        .def_readonly("move", &PySearchResult::move, "The best move, None without a legal move")
        .def_readonly("player", &PySearchResult::player, "The player who makes it")
        .def_readonly("score", &PySearchResult::score, "Its score for that player")
        .def_readonly("depth", &PySearchResult::depth, "Deepest completed iteration")
        .def_readonly("nodes", &PySearchResult::nodes)
        .def_readonly("time_ms", &PySearchResult::timeMs)
        .def_readonly("exact", &PySearchResult::exact, "The score is a proven result")
        .def_readonly("pv", &PySearchResult::pv, "The line the search expects")
        .def("__repr__", [](const PySearchResult& r) {
            return "<reversi.SearchResult " + py::repr(r.move).cast<std::string>() + " score " +
                   std::to_string(r.score) + " depth " + std::to_string(r.depth) + ">";
        });
    module.def("search", &runSearch, py::arg("board"), py::arg("time_ms") = 1000,
               py::arg("depth") = 0, py::arg("hash_mb") = 16,
               "Searches the position for the player on turn; the board is left as it was");
}

} // namespace reversi_python
