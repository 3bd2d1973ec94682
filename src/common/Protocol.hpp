// The binary message protocol between game server and clients. Every message is a 5-byte
// header (type byte, payload length as big-endian 32-bit) followed by a payload whose length
// and layout depend on the type; all multi-byte integers travel big-endian.
#pragma once

#include <cstdint>
#include <memory>
#include <ostream>
#include <string>

#include "common/GameTypes.hpp"
#include "common/Network.hpp"

// The first byte of every message. FAIL is a local marker for "no valid message held" and is
// never valid on the wire.
enum class MsgType : std::uint8_t {
    CLIENT_GROUPID = 1,
    GAMEBOARD = 2,
    CLIENT_PLAYERNUM = 3,
    MOVEREQUEST = 4,
    MOVE = 5,
    MOVEANNOUNCE = 6,
    DISQUALIFICATION = 7,
    TERMINAL = 8,
    FIN = 9,
    FAIL = 100,
};

// The outcome of every receive and read: TYPE means a message of another type than asked for.
enum class MsgResult : std::uint32_t {
    OK = 0,
    FAIL = 1,
    TIMEOUT = 2,
    TYPE = 3,
};

// How a timed receive treats a message once its limit is spent. The socket layer already takes
// bytes that wait when the deadline has passed; the rules differ after the header.
enum class TimeRule : std::uint8_t {
    // A limit spent by the header read ends the receive: the payload is no longer read.
    STRICT,
    // Bytes count by when they arrived: a payload that can be read without waiting is taken even
    // when the limit is spent. The referee judges players by this rule, so that a player whose
    // answer was in the socket in time is not disqualified because the server read it late.
    BY_ARRIVAL,
};

// A message header with its length in host order.
struct MessageHeader {
    MsgType type;
    std::uint32_t len;
};

// The longest map text a receiver accepts; it bounds the one allocation a peer can cause.
constexpr std::uint32_t MAX_GAMEBOARD_LEN = 2012000;

// The decoded payloads, integers in host order. On the wire the fields follow each other
// without padding at exactly these widths; they are copied field by field, never as a whole.
struct payload_client_groupid {
    std::uint8_t groupid;
};

struct payload_client_playernum {
    Player player;
};

struct payload_moverequest {
    std::uint32_t timelimit;
    std::uint8_t depthlimit;
};

struct payload_move {
    std::uint16_t x;
    std::uint16_t y;
    MoveChoice choice;
};

struct payload_moveannounce {
    std::uint16_t x;
    std::uint16_t y;
    MoveChoice choice;
    Player player;
};

struct payload_disqualification {
    Player player;
};

// One end of a connection, server or client: frames, checks, converts, sends and receives the
// messages. It owns the socket and holds the last received message for the typed reads.
class ProtoClient {
public:
    explicit ProtoClient(TcpSocket* socket);
    ProtoClient(const ProtoClient&) = delete;
    ProtoClient& operator=(const ProtoClient&) = delete;
    virtual ~ProtoClient();

    // Receives one message within `timeout` milliseconds (0 = no limit), spent as `rule` says.
    // With `check` set, a message of another type than `type` is held but answered with TYPE;
    // otherwise `type` becomes the received type. On FAIL or TIMEOUT `type` becomes
    // MsgType::FAIL and the stream may be out of step (a refused header leaves its payload
    // unread): give the connection up.
    MsgResult receive_msg(MsgType& type, bool check, std::uint32_t timeout,
                          TimeRule rule = TimeRule::STRICT);

    // Typed reads of the held message: TYPE when it is of another type.
    MsgResult get_client_groupid(payload_client_groupid& payload) const;
    MsgResult get_gameboard(std::string& description) const;
    MsgResult get_client_playernum(payload_client_playernum& payload) const;
    MsgResult get_moverequest(payload_moverequest& payload) const;
    MsgResult get_move(payload_move& payload) const;
    MsgResult get_moveannounce(payload_moveannounce& payload) const;
    MsgResult get_disqualification(payload_disqualification& payload) const;
    MsgResult get_terminal() const;
    MsgResult get_fin() const;

    // Senders, true when the whole message went out. Lengths are not checked against the
    // receive rules: an over-long map text is sent and refused by its receiver.
    bool send_client_groupid(std::uint8_t groupid);
    bool send_gameboard(const std::string& description);
    bool send_client_playernum(Player player);
    bool send_moverequest(std::uint32_t timelimit, std::uint8_t depthlimit);
    bool send_move(std::uint16_t x, std::uint16_t y, MoveChoice choice);
    bool send_moveannounce(std::uint16_t x, std::uint16_t y, MoveChoice choice, Player player);
    bool send_disqualification(Player player);
    bool send_terminal();
    bool send_fin();

protected:
    // Sends the header and the payload (already in wire order).
    bool send_msg(MsgType type, const void* payload, std::uint32_t payload_len);
    // True when type and length fit the protocol's table.
    static bool message_check_hdr(const MessageHeader& hdr);
    // Turns the integers of a received payload of hdr.len bytes to host order in place.
    static bool message_ntoh(const MessageHeader& hdr, void* payload);
    // Receives one message into the held header and payload.
    MsgResult receive_msg(std::uint32_t timeout, TimeRule rule);

    TcpSocket* m_socket;
    MessageHeader m_lastHeader;
    std::unique_ptr<std::uint8_t[]> m_lastPayload;

private:
    // Reads the payload of the header just received; `left` is the time budget still open,
    // and with `spent` set only bytes already waiting are taken.
    MsgResult receive_payload(bool timed, std::uint32_t& left, bool spent);
};

// The type's name ("GROUPID", "MOVE_REQ", ...), "?" for values without one.
std::ostream& operator<<(std::ostream& os, const MsgType& type);
