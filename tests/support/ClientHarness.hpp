// End-to-end sessions of the real reversi-client program against a scripted server, with the
// person's answers piped to its standard input.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/ScriptedProcess.hpp"
#include "tests/support/ScriptedServer.hpp"

namespace testing_support {

// Small maps whose few legal moves the tests know by heart.
namespace client_maps {
// Two players in one row "1 2 0": player 1's only move is (2,0); one bomb each, radius 0.
extern const char* const Line;
// Three players in "c 2 1": player 1's only move is the choice square (0,0).
extern const char* const Choice3;
// Two players in "b 2 1": player 1's only move is the bonus square (0,0); one bomb each.
extern const char* const Bonus;
} // namespace client_maps

// A reversi-client started against a fresh scripted server.
class ClientSession {
public:
    // The longest a client process may run in a test.
    static constexpr std::chrono::milliseconds ProcessLimit{30000};

    explicit ClientSession(std::string input, const std::vector<std::string>& extraArgs = {},
                           ProcessOptions options = {});

    // Accepts the client and plays the usual opening with it.
    bool open(const std::string& mapText, Player player);
    // Waits for the client to end.
    ProcessResult finish() { return m_process->wait(ProcessLimit); }

    ScriptedServer server;

private:
    std::unique_ptr<ScriptedProcess> m_process;
};

// The program path of reversi-client.
std::string clientProgram();

} // namespace testing_support
