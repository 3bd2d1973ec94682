// Entry of reversi-lobbyload: exit status 0 after a load run, or a check that found no fault.
#include "common/ProgramMain.hpp"
#include "tools/lobbyload/LobbyLoad.hpp"

int main(int argc, char** argv) {
    LobbyLoad load;
    return runProgram(load, argc, argv);
}
