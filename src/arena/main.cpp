// Entry of reversi-arena: exit status 0 when the tournament (or the one game, the job list,
// the collection) was done, 1 otherwise.
#include "arena/Arena.hpp"
#include "common/ProgramMain.hpp"

int main(int argc, char** argv) {
    Arena arena;
    return runProgram(arena, argc, argv);
}
