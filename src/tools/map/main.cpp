// Entry of reversi-map: exit status 0 when the subcommand succeeded (for check: every map is
// valid), 1 otherwise.
#include "common/ProgramMain.hpp"
#include "tools/map/MapTool.hpp"

int main(int argc, char** argv) {
    MapTool tool;
    return runProgram(tool, argc, argv);
}
