#include "common/ProgramMain.hpp"

#include <csignal>

#include "common/Logging.hpp"
#include "common/Network.hpp"

int runProgram(Tool& tool, int argc, char** argv) {
    // A closed standard output must end the program through failed writes, not a signal.
    std::signal(SIGPIPE, SIG_IGN);
    if (!tool.init(argc, argv)) {
        return 1;
    }
    if (!TcpSocket::initialize()) {
        LOG(loggerNetwork, FATAL) << "Failed to initialize network";
        return 1;
    }
    const bool result = tool.run();
    if (!TcpSocket::deinitialize()) {
        LOG(loggerNetwork, FATAL) << "Failed to deinitialize network";
    }
    return result ? 0 : 1;
}
