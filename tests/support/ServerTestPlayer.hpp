// A player played message by message by the test itself, over a real connection to the server.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "common/Protocol.hpp"

namespace testing_support {

// One seat at the server, played message by message by the test.
class TestPlayer {
public:
    // How long a test waits for one message unless it names its own limit.
    static constexpr std::uint32_t DefaultLimit = 10000;

    bool connect(std::uint16_t port) {
        auto socket = std::make_unique<TcpClient>();
        if (!socket->connect_to("127.0.0.1", port)) {
            return false;
        }
        m_raw = socket.get();
        m_proto = std::make_unique<ProtoClient>(socket.release());
        return true;
    }

    // Connects and plays the opening.
    bool join(std::uint16_t port, std::uint32_t limit = DefaultLimit) {
        return connect(port) && open(limit);
    }

    // The opening on a standing connection: group id out, map and player number in; the map
    // must come within `limit` milliseconds.
    bool open(std::uint32_t limit = DefaultLimit) {
        if (!m_proto->send_client_groupid(7)) {
            return false;
        }
        payload_client_playernum number{};
        if (next(limit) != MsgType::GAMEBOARD || m_proto->get_gameboard(mapText) != MsgResult::OK ||
            next() != MsgType::CLIENT_PLAYERNUM ||
            m_proto->get_client_playernum(number) != MsgResult::OK) {
            return false;
        }
        player = number.player;
        return true;
    }

    // The type of the next message; FAIL when the connection ended or nothing came within
    // `limit` milliseconds.
    MsgType next(std::uint32_t limit = DefaultLimit) {
        MsgType type = MsgType::FAIL;
        m_proto->receive_msg(type, false, limit);
        return type;
    }

    // Skips messages up to the first of the wanted type; false when the connection ends first.
    bool skipTo(MsgType wanted) {
        for (MsgType type = next(); type != MsgType::FAIL; type = next()) {
            if (type == wanted) {
                return true;
            }
        }
        return false;
    }

    // Closes the connection.
    void leave() {
        m_proto.reset();
        m_raw = nullptr;
    }

    Player disqualified() {
        payload_disqualification payload{};
        m_proto->get_disqualification(payload);
        return payload.player;
    }

    ProtoClient& proto() { return *m_proto; }

    // Bytes that bypass the protocol layer; a send to a closed connection is simply lost.
    void sendRaw(const std::uint8_t* bytes, std::size_t length) { m_raw->send(bytes, length); }

    std::string mapText;
    Player player = Player::P_INVALID;

private:
    std::unique_ptr<ProtoClient> m_proto;
    // The connection inside m_proto, which owns it.
    TcpSocket* m_raw = nullptr;
};

} // namespace testing_support
