// Entry of reversi-perft: exit status 0 after counting, 1 on bad options or an invalid map.
#include "common/ProgramMain.hpp"
#include "tools/perft/PerftTool.hpp"

int main(int argc, char** argv) {
    PerftTool tool;
    return runProgram(tool, argc, argv);
}
