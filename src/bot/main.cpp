// Entry of reversi-bot: exit status 0 after a game that the server ended, 1 otherwise.
#include <csignal>

#include "bot/Bot.hpp"
#include "common/Logging.hpp"
#include "common/Network.hpp"

int main(int argc, char** argv) {
    // A closed standard output must end the program through failed writes, not a signal.
    std::signal(SIGPIPE, SIG_IGN);
    Bot bot;
    if (!bot.init(argc, argv)) {
        return 1;
    }
    if (!TcpSocket::initialize()) {
        LOG(loggerNetwork, FATAL) << "Failed to initialize network";
        return 1;
    }
    const bool result = bot.run();
    if (!TcpSocket::deinitialize()) {
        LOG(loggerNetwork, FATAL) << "Failed to deinitialize network";
    }
    return result ? 0 : 1;
}
