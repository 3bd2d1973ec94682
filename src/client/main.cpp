// The console client program: plays one game on a server with moves typed in by a person.
// Exit status 0 only when the server ended the game with FIN.
#include "client/consoleClient.hpp"
#include "common/ProgramMain.hpp"

int main(int argc, char** argv) {
    ConsoleClient client;
    return runProgram(client, argc, argv);
}
