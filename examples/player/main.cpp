// my-player: connects to a game server and plays one game with MyPlayer. It takes the options
// of every client: -s HOST, -p PORT, -g GROUP (see --help).
#include "MyPlayer.hpp"
#include "common/ProgramMain.hpp"

int main(int argc, char** argv) {
    MyPlayer player;
    return runProgram(player, argc, argv);
}
