#include "tests/support/ClientHarness.hpp"

#include "tests/support/TestPaths.hpp"

namespace testing_support {

namespace client_maps {
const char* const Line = "2\n0\n1 0\n1 3\n1 2 0\n";
const char* const Choice3 = "3\n0\n0 0\n1 3\nc 2 1\n";
const char* const Bonus = "2\n0\n1 0\n1 3\nb 2 1\n";
} // namespace client_maps

std::string clientProgram() {
    return programPath("reversi-client");
}

ClientSession::ClientSession(std::string input, const std::vector<std::string>& extraArgs,
                             ProcessOptions options) {
    auto args = server.clientArgs();
    args.insert(args.end(), extraArgs.begin(), extraArgs.end());
    options.input = std::move(input);
    m_process = std::make_unique<ScriptedProcess>(clientProgram(), args, std::move(options));
}

bool ClientSession::open(const std::string& mapText, Player player) {
    return server.accept() && server.opening(mapText, player);
}

} // namespace testing_support
