// Entry of reversi-server: exit status 0 after a game played to its end, 1 otherwise.
#include "common/ProgramMain.hpp"
#include "server/GameServer.hpp"

int main(int argc, char** argv) {
    GameServer server;
    return runProgram(server, argc, argv);
}
