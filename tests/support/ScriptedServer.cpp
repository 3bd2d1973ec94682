#include "tests/support/ScriptedServer.hpp"

namespace testing_support {

ScriptedServer::ScriptedServer() {
    if (m_listener.open_port(0)) {
        m_port = m_listener.getPort();
    }
}

ScriptedServer::~ScriptedServer() {
    close();
}

void ScriptedServer::close() {
    disconnect();
    m_listener.close();
}

std::vector<std::string> ScriptedServer::clientArgs() const {
    return {"-s", "127.0.0.1", "-p", std::to_string(m_port)};
}

bool ScriptedServer::accept(std::chrono::milliseconds limit) {
    TcpSocket* socket = m_listener.accept(static_cast<unsigned long>(limit.count()));
    if (socket == nullptr) {
        return false;
    }
    m_socket = socket;
    m_peer = std::make_unique<ProtoClient>(socket);
    return true;
}

bool ScriptedServer::sendRaw(const std::string& bytes) {
    return m_socket != nullptr && m_socket->send(bytes.data(), bytes.size()) == bytes.size();
}

void ScriptedServer::disconnect() {
    m_peer.reset();
    m_socket = nullptr;
}

MsgType ScriptedServer::receive(std::chrono::milliseconds limit) {
    MsgType type = MsgType::FAIL;
    if (m_peer == nullptr ||
        m_peer->receive_msg(type, false, static_cast<unsigned long>(limit.count())) !=
            MsgResult::OK) {
        return MsgType::FAIL;
    }
    return type;
}

int ScriptedServer::receiveGroupId(std::chrono::milliseconds limit) {
    payload_client_groupid group{};
    if (receive(limit) != MsgType::CLIENT_GROUPID ||
        m_peer->get_client_groupid(group) != MsgResult::OK) {
        return -1;
    }
    return group.groupid;
}

bool ScriptedServer::opening(const std::string& mapText, Player player) {
    return receiveGroupId() >= 0 && m_peer->send_gameboard(mapText) &&
           m_peer->send_client_playernum(player);
}

bool ScriptedServer::requestMove(std::uint32_t timelimit, std::uint8_t depthlimit,
                                 payload_move& answer, std::chrono::milliseconds limit) {
    return m_peer != nullptr && m_peer->send_moverequest(timelimit, depthlimit) &&
           receive(limit) == MsgType::MOVE && m_peer->get_move(answer) == MsgResult::OK;
}

bool ScriptedServer::announce(const Move& move) {
    return m_peer != nullptr && m_peer->send_moveannounce(move.x, move.y, move.choice, move.player);
}

} // namespace testing_support
