// reversi.Move and reversi.Board: moves as small values, and a position on a map on the search
// board, with legal moves, make and take back, scores, the hash and a NumPy view of the squares.
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include "Bindings.hpp"

namespace py = pybind11;

namespace reversi_python {

namespace {

// Codes of reversi.Board.square and to_array besides the player numbers 1 ... 8.
constexpr int HoleCode = -1;

std::string moveRepr(const PyMove& move) {
    std::string text = "Move(" + std::to_string(move.x) + ", " + std::to_string(move.y);
    if (move.choice != 0) {
        text += ", choice=" + std::to_string(move.choice);
    }
    return text + ")";
}

const char* phaseName(GamePhase phase) {
    switch (phase) {
    case GamePhase::BUILD:
        return "build";
    case GamePhase::TERMINAL:
        return "bomb";
    default:
        return "over";
    }
}

// A square as Python sees it: -1 a hole, 0 empty, 1 ... 8 the player who owns the stone,
// 9 expansion, 10 inversion, 11 choice, 12 bonus.
int squareCode(const SearchBoard& board, index_t i) {
    const Square s = board.square(i);
    if (s == Square::NONE) {
        return HoleCode;
    }
    if (s >= Square::PLAYER1 && s <= Square::PLAYER_MAX) {
        return static_cast<int>(board.ownerOf(s));
    }
    return static_cast<int>(s);
}

// Slots of the choices of a move in the table of shared moves: none, players 1 ... 8, bomb,
// override.
constexpr unsigned ChoiceSlots = 11;

unsigned choiceSlot(MoveChoice choice) {
    switch (choice) {
    case MoveChoice::BOMB:
        return 9;
    case MoveChoice::OVERRIDE:
        return 10;
    default:
        return static_cast<unsigned>(choice); // NONE 0, players 1 ... 8
    }
}

// The Move object of a legal move. Moves are immutable, so legal_moves hands out one shared
// object per square and choice, made on first use and kept for the life of the process (at
// most 50 x 50 x 11), like Python's small integers: a list of shared objects costs a fraction
// of one of new objects. The references are never given back, so nothing runs at exit.
PyObject* sharedMove(const PyBoard& self, SearchMove move) {
    static std::vector<PyObject*> table(Map::MAX_WIDTH * Map::MAX_HEIGHT * ChoiceSlots, nullptr);
    const SearchBoard& board = self.board();
    const std::size_t square = board.y(move.index) * Map::MAX_WIDTH + board.x(move.index);
    PyObject*& entry = table[square * ChoiceSlots + choiceSlot(move.choice)];
    if (entry == nullptr) {
        entry = py::cast(self.toPy(move)).release().ptr();
    }
    return entry;
}

py::list legalMoves(const PyBoard& self, const py::object& player) {
    const SearchBoard& board = self.board();
    const Player p = player.is_none() ? board.toMove() : self.checkedPlayer(player.cast<int>());
    std::vector<SearchMove> moves;
    if (p != Player::P_INVALID) {
        board.generateMoves(p, moves);
    }
    py::list out(moves.size());
    for (std::size_t i = 0; i < moves.size(); ++i) {
        PyObject* move = sharedMove(self, moves[i]);
        Py_INCREF(move);
        PyList_SET_ITEM(out.ptr(), static_cast<Py_ssize_t>(i), move);
    }
    return out;
}

py::array_t<std::int8_t> toArray(const PyBoard& self) {
    const SearchBoard& board = self.board();
    py::array_t<std::int8_t> out({board.height(), board.width()});
    auto cells = out.mutable_unchecked<2>();
    for (unsigned y = 0; y < board.height(); ++y) {
        for (unsigned x = 0; x < board.width(); ++x) {
            cells(y, x) = static_cast<std::int8_t>(squareCode(board, board.index(x, y)));
        }
    }
    return out;
}

int squareAt(const PyBoard& self, int x, int y) {
    const SearchBoard& board = self.board();
    if (x < 0 || y < 0 || x >= static_cast<int>(board.width()) ||
        y >= static_cast<int>(board.height())) {
        throw py::index_error("square (" + std::to_string(x) + ", " + std::to_string(y) +
                              ") is off the board");
    }
    return squareCode(board, board.index(static_cast<unsigned>(x), static_cast<unsigned>(y)));
}

py::list scores(const SearchBoard& board) {
    py::list out;
    for (unsigned p = 1; p <= board.players(); ++p) {
        out.append(board.stones(static_cast<Player>(p)));
    }
    return out;
}

// Seconds that `iterations` rounds of generating the legal moves, making the first and taking
// it back take in C++: what python/bench.py compares the same calls from Python with.
double cycleMoves(PyBoard& self, unsigned iterations) {
    SearchBoard& board = self.board();
    std::vector<SearchMove> moves;
    board.generateMoves(moves);
    if (moves.empty()) {
        throw py::value_error("no legal move");
    }
    const auto start = std::chrono::steady_clock::now();
    for (unsigned i = 0; i < iterations; ++i) {
        board.generateMoves(moves);
        board.makeMove(moves.front());
        board.unmakeMove();
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void bindMove(py::module_& module) {
    py::class_<PyMove>(module, "Move",
                       "A move: the square (x, y) and the choice (0 none, 1 ... 8 the player to "
                       "swap with on a choice square, 20 bomb or 21 override on a bonus square)")
        .def(py::init([](int x, int y, int choice) {
                 return PyMove{x, y, choice};
             }),
             py::arg("x"), py::arg("y"), py::arg("choice") = 0)
        .def_readonly("x", &PyMove::x)
        .def_readonly("y", &PyMove::y)
        .def_readonly("choice", &PyMove::choice)
        .def("__eq__", [](const PyMove& a, const PyMove& b) { return a == b; })
        .def("__hash__",
             [](const PyMove& m) { return std::hash<int>()((m.x * 64 + m.y) * 32 + m.choice); })
        .def("__repr__", &moveRepr);
    module.attr("BOMB") = static_cast<int>(MoveChoice::BOMB);
    module.attr("OVERRIDE") = static_cast<int>(MoveChoice::OVERRIDE);
}

} // namespace

PyBoard::PyBoard(std::shared_ptr<const Map> map) : m_map(std::move(map)), m_board(*m_map) {}

PyBoard::PyBoard(std::shared_ptr<const Map> map, const SearchBoard& board)
    : m_map(std::move(map)), m_board(board) {}

Player PyBoard::checkedPlayer(int player) const {
    if (player < 1 || player > static_cast<int>(m_board.players())) {
        throw py::value_error("no player " + std::to_string(player) + " on this map");
    }
    return static_cast<Player>(player);
}

SearchMove PyBoard::legalMove(const PyMove& move) const {
    const bool inRange = move.x >= 0 && move.y >= 0 && move.x < static_cast<int>(m_board.width()) &&
                         move.y < static_cast<int>(m_board.height()) && move.choice >= 0 &&
                         move.choice <= 255;
    if (m_board.isFinal() || m_board.toMove() == Player::P_INVALID || !inRange) {
        throw py::value_error("illegal move " + moveRepr(move));
    }
    const SearchMove candidate{
        m_board.index(static_cast<unsigned>(move.x), static_cast<unsigned>(move.y)),
        static_cast<MoveChoice>(move.choice), m_board.phase() == GamePhase::TERMINAL};
    if (!m_board.isLegal(m_board.toMove(), candidate)) {
        throw py::value_error("illegal move " + moveRepr(move) + " for player " +
                              std::to_string(static_cast<int>(m_board.toMove())));
    }
    return candidate;
}

PyMove PyBoard::toPy(SearchMove move) const {
    return PyMove{static_cast<int>(m_board.x(move.index)), static_cast<int>(m_board.y(move.index)),
                  static_cast<int>(move.choice)};
}

void bindBoard(py::module_& module) {
    bindMove(module);
    module.attr("HOLE") = HoleCode;
    module.attr("EMPTY") = static_cast<int>(Square::EMPTY);
    module.attr("EXPANSION") = static_cast<int>(Square::EXPANSION);
    module.attr("INVERSION") = static_cast<int>(Square::INVERSION);
    module.attr("CHOICE") = static_cast<int>(Square::CHOICE);
    module.attr("BONUS") = static_cast<int>(Square::BONUS);
    py::class_<PyBoard>(module, "Board", "A position of a game, from the start of a map on")
        .def(py::init([](std::shared_ptr<Map> map) { return PyBoard(std::move(map)); }),
             py::arg("map"))
        .def("legal_moves", &legalMoves, py::arg("player") = py::none(),
             "The legal moves of the player on turn (or of the given player)")
        .def(
            "play",
            [](PyBoard& self, const PyMove& move) { self.board().makeMove(self.legalMove(move)); },
            py::arg("move"), "Makes a legal move of the player on turn; ValueError otherwise")
        .def(
            "undo",
            [](PyBoard& self) {
                if (self.board().undoDepth() == 0) {
                    throw py::value_error("no move to take back");
                }
                self.board().unmakeMove();
            },
            "Takes back the last move")
        .def("copy", [](const PyBoard& self) { return PyBoard(self.map(), self.board()); })
        .def_property_readonly("map", &PyBoard::map)
        .def_property_readonly("width", [](const PyBoard& s) { return s.board().width(); })
        .def_property_readonly("height", [](const PyBoard& s) { return s.board().height(); })
        .def_property_readonly("players", [](const PyBoard& s) { return s.board().players(); })
        .def_property_readonly("current_player",
                               [](const PyBoard& s) -> py::object {
                                   const Player p = s.board().toMove();
                                   if (s.board().isFinal() || p == Player::P_INVALID) {
                                       return py::none();
                                   }
                                   return py::int_(static_cast<int>(p));
                               })
        .def_property_readonly("phase",
                               [](const PyBoard& s) { return phaseName(s.board().phase()); })
        .def_property_readonly("is_over", [](const PyBoard& s) { return s.board().isFinal(); })
        .def_property_readonly("move_number",
                               [](const PyBoard& s) { return s.board().moveNumber(); })
        .def_property_readonly("hash", [](const PyBoard& s) { return s.board().hash(); })
        .def_property_readonly(
            "scores", [](const PyBoard& s) { return scores(s.board()); },
            "Stones of players 1 ... n")
        .def("stones", [](const PyBoard& s, int p) { return s.board().stones(s.checkedPlayer(p)); })
        .def("bombs", [](const PyBoard& s, int p) { return s.board().bombs(s.checkedPlayer(p)); })
        .def("overrides",
             [](const PyBoard& s, int p) { return s.board().overrides(s.checkedPlayer(p)); })
        .def("is_disqualified",
             [](const PyBoard& s, int p) { return s.board().isDisqualified(s.checkedPlayer(p)); })
        .def("square", &squareAt, py::arg("x"), py::arg("y"),
             "-1 hole, 0 empty, 1 ... 8 the owner of the stone, 9 expansion, 10 inversion, "
             "11 choice, 12 bonus")
        .def("to_array", &toArray, "The squares as a NumPy int8 array [y, x], codes as square()")
        .def("_cycle_moves", &cycleMoves, py::arg("iterations"),
             "Seconds for that many rounds of legal moves, play and undo of the first in C++")
        .def("__str__", [](const PyBoard& s) { return s.board().asSimpleString(); })
        .def("__repr__", [](const PyBoard& s) {
            return "<reversi.Board move " + std::to_string(s.board().moveNumber()) + ", " +
                   phaseName(s.board().phase()) + ">";
        });
}

} // namespace reversi_python
