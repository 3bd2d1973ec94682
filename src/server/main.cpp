// Entry of reversi-server: exit status 0 after a game played to its end, 1 otherwise.
#include <csignal>

#include "common/Logging.hpp"
#include "common/Network.hpp"
#include "server/GameServer.hpp"

int main(int argc, char** argv) {
    // A closed standard output must end the program through failed writes, not a signal.
    std::signal(SIGPIPE, SIG_IGN);
    GameServer server;
    if (!server.init(argc, argv)) {
        return 1;
    }
    if (!TcpSocket::initialize()) {
        LOG(loggerNetwork, FATAL) << "Failed to initialize network";
        return 1;
    }
    const bool result = server.run();
    if (!TcpSocket::deinitialize()) {
        LOG(loggerNetwork, FATAL) << "Failed to deinitialize network";
    }
    return result ? 0 : 1;
}
