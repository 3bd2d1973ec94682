// reversi.search: the C++ searcher on a board's position for the player on turn, within a time
// and depth limit, with the GIL released while it runs.
#include <chrono>
#include <cstdint>
#include <exception>
#include <memory>
#include <optional>
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

// The searcher's evaluation from a Python callable, called with a copy of the leaf position
// and the root player. Its first exception is kept in `error`, and from then on every leaf
// scores 0, so that the search ends without more calls into Python.
Searcher::Evaluation pythonEvaluation(const std::shared_ptr<const Map>& map,
                                      const py::object& evaluate, std::exception_ptr& error) {
    return [map, &evaluate, &error](const SearchBoard& leaf, Player root) {
        if (error) {
            return 0;
        }
        try {
            return py::int_(evaluate(PyBoard(map, leaf), static_cast<int>(root))).cast<int>();
        } catch (...) {
            error = std::current_exception();
        }
        return 0;
    };
}

// Searches a copy of the board. Without a Python evaluation the GIL is released meanwhile.
SearchInfo searchCopy(const PyBoard& self, const SearchLimits& limits, unsigned hashMb,
                      const py::object& evaluate) {
    SearchBoard board(self.board());
    std::exception_ptr error;
    std::optional<py::gil_scoped_release> release;
    if (evaluate.is_none()) {
        release.emplace();
    }
    TranspositionTable table(hashMb);
    Searcher searcher(board, &table);
    if (!evaluate.is_none()) {
        searcher.setEvaluation(pythonEvaluation(self.map(), evaluate, error));
    }
    const SearchInfo info = searcher.search(board, limits);
    if (error) {
        std::rethrow_exception(error);
    }
    return info;
}

PySearchResult runSearch(PyBoard& self, unsigned timeMs, unsigned depth, unsigned hashMb,
                         const py::object& evaluate) {
    if (self.board().isFinal()) {
        throw py::value_error("the game is over");
    }
    if (timeMs == 0 && depth == 0) {
        throw py::value_error("a search needs a time or a depth limit");
    }
    if (hashMb > MaxHashMb) {
        throw py::value_error("hash_mb is at most " + std::to_string(MaxHashMb));
    }
    SearchLimits limits;
    limits.depth = depth;
    if (timeMs != 0) {
        limits.deadline = SearchClock::now() + std::chrono::milliseconds(timeMs);
        limits.softDeadline = limits.deadline;
    }
    const SearchInfo info = searchCopy(self, limits, hashMb, evaluate);
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
               py::arg("depth") = 0, py::arg("hash_mb") = 16, py::arg("evaluate") = py::none(),
               "Searches the position for the player on turn; the board is left as it was. "
               "evaluate(board, player) -> int, if given, scores the positions at the leaves "
               "that are not over, from that player's view, in place of the built-in evaluation");
}

} // namespace reversi_python
