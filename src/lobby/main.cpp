// Entry of reversi-lobby: exit status 0 after a run that ended by a stop request or --games.
#include "common/ProgramMain.hpp"
#include "lobby/Lobby.hpp"

int main(int argc, char** argv) {
    Lobby lobby;
    return runProgram(lobby, argc, argv);
}
