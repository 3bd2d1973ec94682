// The entry of the Python module `reversi`: registers maps, boards, moves, the searcher and
// the network player.
#include <pybind11/pybind11.h>

#include "Bindings.hpp"
#include "Config.hpp"

PYBIND11_MODULE(reversi, module) {
    module.doc() = "Reversi on arbitrary maps: maps, boards, the searcher and network players";
    module.attr("__version__") = REVERSI_VERSION;
    reversi_python::bindMap(module);
    reversi_python::bindBoard(module);
    reversi_python::bindSearch(module);
    reversi_python::bindPlayer(module);
}
