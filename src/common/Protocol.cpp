#include "common/Protocol.hpp"

#include <cstring>
#include <type_traits>
#include <vector>

#include <arpa/inet.h>

#include "common/Logging.hpp"

namespace {

constexpr std::size_t HEADER_SIZE = 5;

// Network and host order differ only for the 16- and 32-bit integers; the conversion is the
// same swap in both directions.
template <typename T>
T swapOrder(T value) {
    static_assert(std::is_unsigned_v<T>);
    if constexpr (sizeof(T) == 1) {
        return value;
    } else if constexpr (sizeof(T) == 2) {
        return htons(value);
    } else {
        static_assert(sizeof(T) == 4);
        return htonl(value);
    }
}

// The value in network byte order.
template <typename T>
T toNet(const T& value) {
    return swapOrder(value);
}

// Writes the value at `at` in network order.
template <typename T>
void putNet(std::uint8_t* at, T value) {
    const T net = toNet(value);
    std::memcpy(at, &net, sizeof net);
}

// Reads a value stored at `at` in host order (after the payload's conversion).
template <typename T>
T getHost(const std::uint8_t* at) {
    T value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

// Turns the big-endian integer at `at` into host order in place.
template <typename T>
void toHostInPlace(std::uint8_t* at) {
    const T host = swapOrder(getHost<T>(at));
    std::memcpy(at, &host, sizeof host);
}

} // namespace

ProtoClient::ProtoClient(TcpSocket* socket)
    : m_socket(socket), m_lastHeader{MsgType::FAIL, 0}, m_lastPayload(nullptr) {}

ProtoClient::~ProtoClient() {
    if (m_socket != nullptr) {
        m_socket->close();
        delete m_socket;
    }
}

MsgResult ProtoClient::receive_msg(MsgType& type, bool check, std::uint32_t timeout,
                                   TimeRule rule) {
    const MsgResult result = receive_msg(timeout, rule);
    if (result != MsgResult::OK) {
        type = MsgType::FAIL;
        return result;
    }
    if (check && m_lastHeader.type != type) {
        return MsgResult::TYPE;
    }
    type = m_lastHeader.type;
    return MsgResult::OK;
}

// One budget covers header and payload: the socket counts `left` down across both reads, and
// a remaining time of 0 after a failed read tells a time-out from an error. A budget spent by
// the header read cannot be passed on as it is, since 0 means no limit to the socket.
MsgResult ProtoClient::receive_msg(std::uint32_t timeout, TimeRule rule) {
    m_lastHeader.type = MsgType::FAIL;
    const bool timed = timeout != 0;
    std::uint32_t left = timeout;
    std::uint8_t raw[HEADER_SIZE];
    if (!m_socket->receive(raw, sizeof raw, left)) {
        if (timed && left == 0) {
            LOG(loggerNetwork, ERR) << "receive_msg(): timeout reading header";
            return MsgResult::TIMEOUT;
        }
        LOG(loggerNetwork, ERR) << "receive_msg(): error reading header";
        return MsgResult::FAIL;
    }
    const MessageHeader header{static_cast<MsgType>(raw[0]),
                               ntohl(getHost<std::uint32_t>(raw + 1))};
    if (!message_check_hdr(header)) {
        LOG(loggerNetwork, ERR) << "receive_msg(): corrupt header";
        return MsgResult::FAIL;
    }
    m_lastHeader = header;
    if (header.len == 0) {
        return MsgResult::OK;
    }
    const bool spent = timed && left == 0;
    if (spent && rule == TimeRule::STRICT) {
        m_lastHeader.type = MsgType::FAIL;
        LOG(loggerNetwork, ERR) << "receive_msg(): timeout afterreading header";
        return MsgResult::TIMEOUT;
    }
    return receive_payload(timed, left, spent);
}

// Reads the payload of the checked header just stored into an array of exactly its length.
MsgResult ProtoClient::receive_payload(bool timed, std::uint32_t& left, bool spent) {
    const MessageHeader header = m_lastHeader;
    m_lastHeader.type = MsgType::FAIL;
    m_lastPayload = std::make_unique_for_overwrite<std::uint8_t[]>(header.len);
    const bool received = spent ? m_socket->receiveWaiting(m_lastPayload.get(), header.len, left)
                                : m_socket->receive(m_lastPayload.get(), header.len, left);
    if (!received) {
        if (timed && left == 0) {
            LOG(loggerNetwork, ERR) << "receive_msg(): timeout reading payload";
            return MsgResult::TIMEOUT;
        }
        LOG(loggerNetwork, ERR) << "receive_msg(): error reading payload";
        return MsgResult::FAIL;
    }
    if (!message_ntoh(header, m_lastPayload.get())) {
        LOG(loggerNetwork, ERR) << "receive_msg(): message failed type-specific test (type="
                                << header.type << ", len=" << header.len;
        return MsgResult::FAIL;
    }
    m_lastHeader = header;
    return MsgResult::OK;
}

bool ProtoClient::message_check_hdr(const MessageHeader& hdr) {
    switch (hdr.type) {
    case MsgType::CLIENT_GROUPID:
    case MsgType::CLIENT_PLAYERNUM:
    case MsgType::DISQUALIFICATION:
        return hdr.len == 1;
    case MsgType::GAMEBOARD:
        return hdr.len >= 1 && hdr.len <= MAX_GAMEBOARD_LEN;
    case MsgType::MOVEREQUEST:
    case MsgType::MOVE:
        return hdr.len == 5;
    case MsgType::MOVEANNOUNCE:
        return hdr.len == 6;
    case MsgType::TERMINAL:
    case MsgType::FIN:
        return hdr.len == 0;
    default:
        return false;
    }
}

// The types with multi-byte integers convert only a payload of their exact length, so that a
// caller with an unchecked header cannot make this touch bytes beyond the array.
bool ProtoClient::message_ntoh(const MessageHeader& hdr, void* payload) {
    auto* bytes = static_cast<std::uint8_t*>(payload);
    switch (hdr.type) {
    case MsgType::CLIENT_GROUPID:
    case MsgType::GAMEBOARD:
    case MsgType::CLIENT_PLAYERNUM:
    case MsgType::DISQUALIFICATION:
    case MsgType::TERMINAL:
    case MsgType::FIN:
        return true;
    case MsgType::MOVEREQUEST:
        if (!message_check_hdr(hdr)) {
            return false;
        }
        toHostInPlace<std::uint32_t>(bytes);
        return true;
    case MsgType::MOVE:
    case MsgType::MOVEANNOUNCE:
        if (!message_check_hdr(hdr)) {
            return false;
        }
        toHostInPlace<std::uint16_t>(bytes);
        toHostInPlace<std::uint16_t>(bytes + 2);
        return true;
    default:
        LOG(loggerNetwork, WARN) << "ntoh for msgtype " << static_cast<char>(hdr.type);
        return true;
    }
}

MsgResult ProtoClient::get_client_groupid(payload_client_groupid& payload) const {
    if (m_lastHeader.type != MsgType::CLIENT_GROUPID) {
        return MsgResult::TYPE;
    }
    payload.groupid = m_lastPayload[0];
    return MsgResult::OK;
}

MsgResult ProtoClient::get_gameboard(std::string& description) const {
    if (m_lastHeader.type != MsgType::GAMEBOARD) {
        return MsgResult::TYPE;
    }
    description.assign(reinterpret_cast<const char*>(m_lastPayload.get()), m_lastHeader.len);
    return MsgResult::OK;
}

MsgResult ProtoClient::get_client_playernum(payload_client_playernum& payload) const {
    if (m_lastHeader.type != MsgType::CLIENT_PLAYERNUM) {
        return MsgResult::TYPE;
    }
    payload.player = static_cast<Player>(m_lastPayload[0]);
    return MsgResult::OK;
}

MsgResult ProtoClient::get_moverequest(payload_moverequest& payload) const {
    if (m_lastHeader.type != MsgType::MOVEREQUEST) {
        return MsgResult::TYPE;
    }
    payload.timelimit = getHost<std::uint32_t>(m_lastPayload.get());
    payload.depthlimit = m_lastPayload[4];
    return MsgResult::OK;
}

MsgResult ProtoClient::get_move(payload_move& payload) const {
    if (m_lastHeader.type != MsgType::MOVE) {
        return MsgResult::TYPE;
    }
    payload.x = getHost<std::uint16_t>(m_lastPayload.get());
    payload.y = getHost<std::uint16_t>(m_lastPayload.get() + 2);
    payload.choice = static_cast<MoveChoice>(m_lastPayload[4]);
    return MsgResult::OK;
}

MsgResult ProtoClient::get_moveannounce(payload_moveannounce& payload) const {
    if (m_lastHeader.type != MsgType::MOVEANNOUNCE) {
        return MsgResult::TYPE;
    }
    payload.x = getHost<std::uint16_t>(m_lastPayload.get());
    payload.y = getHost<std::uint16_t>(m_lastPayload.get() + 2);
    payload.choice = static_cast<MoveChoice>(m_lastPayload[4]);
    payload.player = static_cast<Player>(m_lastPayload[5]);
    return MsgResult::OK;
}

MsgResult ProtoClient::get_disqualification(payload_disqualification& payload) const {
    if (m_lastHeader.type != MsgType::DISQUALIFICATION) {
        return MsgResult::TYPE;
    }
    payload.player = static_cast<Player>(m_lastPayload[0]);
    return MsgResult::OK;
}

MsgResult ProtoClient::get_terminal() const {
    return m_lastHeader.type == MsgType::TERMINAL ? MsgResult::OK : MsgResult::TYPE;
}

MsgResult ProtoClient::get_fin() const {
    return m_lastHeader.type == MsgType::FIN ? MsgResult::OK : MsgResult::TYPE;
}

bool ProtoClient::send_client_groupid(std::uint8_t groupid) {
    return send_msg(MsgType::CLIENT_GROUPID, &groupid, 1);
}

bool ProtoClient::send_gameboard(const std::string& description) {
    return send_msg(MsgType::GAMEBOARD, description.data(),
                    static_cast<std::uint32_t>(description.size()));
}

bool ProtoClient::send_client_playernum(Player player) {
    const auto byte = static_cast<std::uint8_t>(player);
    return send_msg(MsgType::CLIENT_PLAYERNUM, &byte, 1);
}

bool ProtoClient::send_moverequest(std::uint32_t timelimit, std::uint8_t depthlimit) {
    std::uint8_t payload[5];
    putNet(payload, timelimit);
    payload[4] = depthlimit;
    return send_msg(MsgType::MOVEREQUEST, payload, sizeof payload);
}

bool ProtoClient::send_move(std::uint16_t x, std::uint16_t y, MoveChoice choice) {
    std::uint8_t payload[5];
    putNet(payload, x);
    putNet(payload + 2, y);
    payload[4] = static_cast<std::uint8_t>(choice);
    return send_msg(MsgType::MOVE, payload, sizeof payload);
}

bool ProtoClient::send_moveannounce(std::uint16_t x, std::uint16_t y, MoveChoice choice,
                                    Player player) {
    std::uint8_t payload[6];
    putNet(payload, x);
    putNet(payload + 2, y);
    payload[4] = static_cast<std::uint8_t>(choice);
    payload[5] = static_cast<std::uint8_t>(player);
    return send_msg(MsgType::MOVEANNOUNCE, payload, sizeof payload);
}

bool ProtoClient::send_disqualification(Player player) {
    const auto byte = static_cast<std::uint8_t>(player);
    return send_msg(MsgType::DISQUALIFICATION, &byte, 1);
}

bool ProtoClient::send_terminal() {
    return send_msg(MsgType::TERMINAL, nullptr, 0);
}

bool ProtoClient::send_fin() {
    return send_msg(MsgType::FIN, nullptr, 0);
}

// Header and payload leave in one send, so that a message is never split into small packets
// that wait for each other's acknowledgement. Only a complete send counts as success; the
// number of bytes that went out tells which part failed.
bool ProtoClient::send_msg(MsgType type, const void* payload, std::uint32_t payload_len) {
    std::vector<std::uint8_t> message(HEADER_SIZE + payload_len);
    message[0] = static_cast<std::uint8_t>(type);
    putNet(message.data() + 1, payload_len);
    if (payload_len != 0) {
        std::memcpy(message.data() + HEADER_SIZE, payload, payload_len);
    }
    const std::size_t sent = m_socket->send(message.data(), message.size());
    if (sent < HEADER_SIZE) {
        LOG(loggerNetwork, ERR) << "send_msg(): failed to send header";
        return false;
    }
    if (sent < message.size()) {
        LOG(loggerNetwork, ERR) << "send_msg(): failed to send payload";
        return false;
    }
    return true;
}

std::ostream& operator<<(std::ostream& os, const MsgType& type) {
    switch (type) {
    case MsgType::CLIENT_GROUPID:
        return os << "GROUPID";
    case MsgType::GAMEBOARD:
        return os << "GAMEBOARD";
    case MsgType::CLIENT_PLAYERNUM:
        return os << "PLAYERNUM";
    case MsgType::MOVEREQUEST:
        return os << "MOVE_REQ";
    case MsgType::MOVE:
        return os << "MOVE";
    case MsgType::MOVEANNOUNCE:
        return os << "MOVE_ANN";
    case MsgType::DISQUALIFICATION:
        return os << "DISQUALIFICATION";
    case MsgType::TERMINAL:
        return os << "TERMINAL";
    case MsgType::FIN:
        return os << "FIN";
    case MsgType::FAIL:
        return os << "FAIL";
    }
    return os << "?";
}
