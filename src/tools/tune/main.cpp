// Entry of reversi-tune: exit status 0 when the method ran and wrote its results, 1 otherwise.
#include "common/ProgramMain.hpp"
#include "tools/tune/TuneTool.hpp"

int main(int argc, char** argv) {
    TuneTool tool;
    return runProgram(tool, argc, argv);
}
