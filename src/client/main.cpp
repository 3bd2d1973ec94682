// The console client program: plays one game on a server with moves typed in by a person.

#include <csignal>

#include "client/consoleClient.hpp"
#include "common/Logging.hpp"
#include "common/Network.hpp"

// Exit status 0 only when the server ended the game with FIN.
int main(int argc, char** argv) {
    // A closed standard output must end the program through failed writes, not a signal.
    std::signal(SIGPIPE, SIG_IGN);
    ConsoleClient client;
    if (!client.init(argc, argv)) {
        return 1;
    }
    if (!TcpSocket::initialize()) {
        LOG(loggerNetwork, FATAL) << "Failed to initialize network";
        return 1;
    }
    const bool result = client.run();
    if (!TcpSocket::deinitialize()) {
        LOG(loggerNetwork, FATAL) << "Failed to deinitialize network";
    }
    return result ? 0 : 1;
}
