// Entry of reversi-ai: exit status 0 after a game that the server ended (or a finished
// analysis), 1 otherwise.
#include "ai/AiPlayer.hpp"
#include "common/ProgramMain.hpp"

int main(int argc, char** argv) {
    AiPlayer ai;
    return runProgram(ai, argc, argv);
}
