// Entry of reversi-bot: exit status 0 after a game that the server ended, 1 otherwise.
#include "bot/Bot.hpp"
#include "common/ProgramMain.hpp"

int main(int argc, char** argv) {
    Bot bot;
    return runProgram(bot, argc, argv);
}
