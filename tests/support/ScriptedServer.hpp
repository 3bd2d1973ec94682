// The protocol's two ends as a test drives them, through the project's own TcpServer and
// ProtoClient on 127.0.0.1, and the real reversi-client started against a scripted server.
// Every wait has a time limit, so a peer that misbehaves fails the test instead of hanging it.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/GameTypes.hpp"
#include "common/Network.hpp"
#include "common/Protocol.hpp"
#include "tests/support/ScriptedProcess.hpp"

namespace testing_support {

// Every wait for a message is bounded by this limit unless a call names its own.
constexpr std::chrono::milliseconds MessageLimit{10000};

// One end of a connection: messages through ProtoClient, raw bytes past it.
class Peer {
public:
    // Takes over the connected socket.
    void attach(TcpSocket* socket);
    bool attached() const { return m_proto != nullptr; }
    ProtoClient& proto() { return *m_proto; }
    // The type of the next message; FAIL when the connection ended, the message was broken
    // or nothing came in time.
    MsgType next(std::chrono::milliseconds limit = MessageLimit);
    // Writes bytes as they are, to send what the protocol would never send; false when the
    // connection is gone.
    bool sendRaw(const std::string& bytes);
    void disconnect();

private:
    std::unique_ptr<ProtoClient> m_proto;
    // The socket inside m_proto, which owns it.
    TcpSocket* m_socket = nullptr;
};

// A game server driven step by step by a test: it listens on a free port and accepts one
// client.
class ScriptedServer : public Peer {
public:
    ScriptedServer();
    ~ScriptedServer() { close(); }

    std::uint16_t port() const { return m_port; }
    // The command-line options that point a client at this server.
    std::vector<std::string> clientArgs() const;
    bool accept(std::chrono::milliseconds limit = MessageLimit);
    // Closes the connection and stops listening; a client still waiting in the queue of
    // the listener is refused.
    void close();

    // The group id the client opened with, or -1 when the first message was something else.
    int receiveGroupId();
    // The usual opening after accept: the group id in, the map and the player number out.
    bool opening(const std::string& mapText, Player player);
    // Sends a move request and waits for the MOVE that answers it.
    bool requestMove(std::uint32_t timelimit, std::uint8_t depthlimit, payload_move& answer);
    bool announce(const Move& move);

private:
    TcpServer m_listener;
    std::uint16_t m_port = 0;
};

// Small maps whose few legal moves the tests know by heart.
namespace client_maps {
// Two players in one row "1 2 0": player 1's only move is (2,0); one bomb each, radius 0.
inline const char* const Line = "2\n0\n1 0\n1 3\n1 2 0\n";
// Three players in "c 2 1": player 1's only move is the choice square (0,0).
inline const char* const Choice3 = "3\n0\n0 0\n1 3\nc 2 1\n";
// Two players in "b 2 1": player 1's only move is the bonus square (0,0); one bomb each.
inline const char* const Bonus = "2\n0\n1 0\n1 3\nb 2 1\n";
} // namespace client_maps

// The longest a client process may run in a test.
constexpr std::chrono::milliseconds ClientLimit{30000};

// A reversi-client started against a fresh scripted server, with the person's answers piped
// to its standard input.
class ClientSession {
public:
    explicit ClientSession(std::string input, const std::vector<std::string>& extraArgs = {},
                           ProcessOptions options = {});

    // Accepts the client and plays the usual opening with it.
    bool open(const std::string& mapText, Player player) {
        return server.accept() && server.opening(mapText, player);
    }
    ProcessResult finish() { return m_process->wait(ClientLimit); }

    ScriptedServer server;

private:
    std::unique_ptr<ScriptedProcess> m_process;
};

} // namespace testing_support
