// A game server driven step by step by a test: it listens on a free port of 127.0.0.1,
// accepts one client and speaks the real protocol through the project's own ProtoClient.
// Every wait has a time limit, so a client that misbehaves fails the test instead of
// hanging it.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/GameTypes.hpp"
#include "common/Network.hpp"
#include "common/Protocol.hpp"

namespace testing_support {

class ScriptedServer {
public:
    // Every wait of the script is bounded by this limit unless a call names its own.
    static constexpr std::chrono::milliseconds DefaultLimit{10000};

    // Starts listening on a port chosen by the system.
    ScriptedServer();
    ScriptedServer(const ScriptedServer&) = delete;
    ScriptedServer& operator=(const ScriptedServer&) = delete;
    ~ScriptedServer();

    bool listening() const { return m_port != 0; }
    std::uint16_t port() const { return m_port; }
    // The command-line options that point a client at this server.
    std::vector<std::string> clientArgs() const;

    // Waits for the client to connect.
    bool accept(std::chrono::milliseconds limit = DefaultLimit);
    bool connected() const { return m_peer != nullptr; }
    // The connection, for sending any message; valid after a successful accept.
    ProtoClient& peer() { return *m_peer; }
    // Writes bytes as they are, to send what the protocol would never send.
    bool sendRaw(const std::string& bytes);
    // Closes the connection to the client.
    void disconnect();
    // Closes the connection and stops listening; a client still waiting in the queue of
    // the listener is refused.
    void close();

    // Receives the next message; FAIL when none arrives in time or it is broken.
    MsgType receive(std::chrono::milliseconds limit = DefaultLimit);
    // The group id the client opened with, or -1 when the first message was something else.
    int receiveGroupId(std::chrono::milliseconds limit = DefaultLimit);
    // The usual opening after accept: the group id in, the map and the player number out.
    bool opening(const std::string& mapText, Player player);
    // Sends a move request and waits for the MOVE that answers it.
    bool requestMove(std::uint32_t timelimit, std::uint8_t depthlimit, payload_move& answer,
                     std::chrono::milliseconds limit = DefaultLimit);
    // Sends the move announcement of a move.
    bool announce(const Move& move);

private:
    TcpServer m_listener;
    std::uint16_t m_port = 0;
    std::unique_ptr<ProtoClient> m_peer;
    // The accepted socket, owned by m_peer.
    TcpSocket* m_socket = nullptr;
};

} // namespace testing_support
