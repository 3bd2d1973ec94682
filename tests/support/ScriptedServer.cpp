#include "tests/support/ScriptedServer.hpp"

#include "tests/support/TestPaths.hpp"

namespace testing_support {

void Peer::attach(TcpSocket* socket) {
    m_socket = socket;
    m_proto = std::make_unique<ProtoClient>(socket);
}

MsgType Peer::next(std::chrono::milliseconds limit) {
    MsgType type = MsgType::FAIL;
    if (m_proto == nullptr ||
        m_proto->receive_msg(type, false, static_cast<std::uint32_t>(limit.count())) !=
            MsgResult::OK) {
        return MsgType::FAIL;
    }
    return type;
}

bool Peer::sendRaw(const std::string& bytes) {
    return m_socket != nullptr && m_socket->send(bytes.data(), bytes.size()) == bytes.size();
}

void Peer::disconnect() {
    m_proto.reset();
    m_socket = nullptr;
}

ScriptedServer::ScriptedServer() {
    if (m_listener.open_port(0)) {
        m_port = m_listener.getPort();
    }
}

void ScriptedServer::close() {
    disconnect();
    m_listener.close();
}

std::vector<std::string> ScriptedServer::clientArgs() const {
    return {"-s", "127.0.0.1", "-p", std::to_string(m_port)};
}

bool ScriptedServer::accept(std::chrono::milliseconds limit) {
    TcpSocket* socket = m_listener.accept(static_cast<std::uint32_t>(limit.count()));
    if (socket != nullptr) {
        attach(socket);
    }
    return socket != nullptr;
}

int ScriptedServer::receiveGroupId() {
    payload_client_groupid group{};
    if (next() != MsgType::CLIENT_GROUPID || proto().get_client_groupid(group) != MsgResult::OK) {
        return -1;
    }
    return group.groupid;
}

bool ScriptedServer::opening(const std::string& mapText, Player player) {
    return receiveGroupId() >= 0 && proto().send_gameboard(mapText) &&
           proto().send_client_playernum(player);
}

bool ScriptedServer::requestMove(std::uint32_t timelimit, std::uint8_t depthlimit,
                                 payload_move& answer) {
    return attached() && proto().send_moverequest(timelimit, depthlimit) &&
           next() == MsgType::MOVE && proto().get_move(answer) == MsgResult::OK;
}

bool ScriptedServer::announce(const Move& move) {
    return attached() && proto().send_moveannounce(move.x, move.y, move.choice, move.player);
}

ClientSession::ClientSession(std::string input, const std::vector<std::string>& extraArgs,
                             ProcessOptions options) {
    auto args = server.clientArgs();
    args.insert(args.end(), extraArgs.begin(), extraArgs.end());
    options.input = std::move(input);
    m_process =
        std::make_unique<ScriptedProcess>(programPath("reversi-client"), args, std::move(options));
}

} // namespace testing_support
