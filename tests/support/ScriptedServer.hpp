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
#include "tests/support/TestPaths.hpp"

namespace testing_support {

// Every wait for a message is bounded by this limit unless a call names its own.
constexpr std::chrono::milliseconds MessageLimit{10000};

// One end of a connection: messages through ProtoClient, raw bytes past it.
class Peer {
public:
    // Takes over the connected socket.
    void attach(TcpSocket* socket) {
        m_socket = socket;
        m_proto = std::make_unique<ProtoClient>(socket);
    }
    bool attached() const { return m_proto != nullptr; }
    ProtoClient& proto() { return *m_proto; }
    void disconnect() {
        m_proto.reset();
        m_socket = nullptr;
    }
    // The next message's type; FAIL on a closed connection, a broken message or a time-out.
    MsgType next(std::chrono::milliseconds limit = MessageLimit) {
        MsgType type = MsgType::FAIL;
        const auto timeout = static_cast<std::uint32_t>(limit.count());
        return m_proto && m_proto->receive_msg(type, false, timeout) == MsgResult::OK
                   ? type
                   : MsgType::FAIL;
    }
    // Writes bytes as they are, to send what the protocol would never send.
    bool sendRaw(const std::string& bytes) {
        return m_socket && m_socket->send(bytes.data(), bytes.size()) == bytes.size();
    }

private:
    std::unique_ptr<ProtoClient> m_proto;
    // The socket inside m_proto, which owns it.
    TcpSocket* m_socket = nullptr;
};

// A server driven step by step by a test: it listens on a free port and accepts one client.
class ScriptedServer : public Peer {
public:
    ScriptedServer() { m_listener.open_port(0); }
    // A client still waiting in the queue of the listener is refused.
    ~ScriptedServer() { m_listener.close(); }

    std::uint16_t port() const { return m_listener.getPort(); }
    // The command-line options that point a client at this server.
    std::vector<std::string> clientArgs() const {
        return {"-s", "127.0.0.1", "-p", std::to_string(port())};
    }
    bool accept(std::chrono::milliseconds limit = MessageLimit) {
        TcpSocket* socket = m_listener.accept(static_cast<std::uint32_t>(limit.count()));
        if (socket != nullptr) {
            attach(socket);
        }
        return socket != nullptr;
    }
    // The group id the client opened with, or -1 when the first message was something else.
    int receiveGroupId() {
        payload_client_groupid group{};
        return next() == MsgType::CLIENT_GROUPID &&
                       proto().get_client_groupid(group) == MsgResult::OK
                   ? group.groupid
                   : -1;
    }
    // The usual opening after accept: the group id in, the map and the player number out.
    bool opening(const std::string& mapText, Player player) {
        return receiveGroupId() >= 0 && proto().send_gameboard(mapText) &&
               proto().send_client_playernum(player);
    }
    // Sends a move request and waits for the MOVE that answers it.
    bool requestMove(std::uint32_t timelimit, std::uint8_t depthlimit, payload_move& answer) {
        return attached() && proto().send_moverequest(timelimit, depthlimit) &&
               next() == MsgType::MOVE && proto().get_move(answer) == MsgResult::OK;
    }
    bool announce(const Move& move) {
        return attached() && proto().send_moveannounce(move.x, move.y, move.choice, move.player);
    }

private:
    TcpServer m_listener;
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
struct ClientSession {
    explicit ClientSession(std::string input, std::vector<std::string> args = {},
                           bool closeOutput = false) {
        const auto serverArgs = server.clientArgs();
        args.insert(args.begin(), serverArgs.begin(), serverArgs.end());
        ProcessOptions options;
        options.input = std::move(input);
        options.closeOutput = closeOutput;
        process = std::make_unique<ScriptedProcess>(programPath("reversi-client"), args,
                                                    std::move(options));
    }

    // Accepts the client and plays the usual opening with it.
    bool open(const std::string& mapText, Player player) {
        return server.accept() && server.opening(mapText, player);
    }
    ProcessResult finish() { return process->wait(ClientLimit); }

    ScriptedServer server;
    std::unique_ptr<ScriptedProcess> process;
};

} // namespace testing_support
