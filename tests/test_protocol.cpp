#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "common/Protocol.hpp"
#include "support/NetTestSupport.hpp"

using testing_support::alwaysLate;
using testing_support::LoopbackPair;
using testing_support::NetLogCapture;
using testing_support::receiveHex;
using testing_support::sendHex;

namespace {

// Opens up the header check, the conversion and the socket a ProtoClient owns, so that tests
// can inject and read exact wire bytes.
class ProbeProto : public ProtoClient {
public:
    using ProtoClient::message_check_hdr;
    using ProtoClient::message_ntoh;
    using ProtoClient::ProtoClient;
    TcpSocket& raw() { return *m_socket; }
};

// ProtoClients on both ends of one connection; null when the set-up failed.
struct ProtoPair {
    LoopbackPair pair;
    std::unique_ptr<ProbeProto> client{pair.connected() ? new ProbeProto(pair.client.release())
                                                        : nullptr};
    std::unique_ptr<ProbeProto> server{client ? new ProbeProto(pair.server.release()) : nullptr};
};

// The held message as text, type name and fields in hexadecimal, read through the one typed
// read that answers OK; a read that answers neither OK nor TYPE shows as "!". The fields are
// passed by reference, so they are printed after the read has filled them.
std::string held(const ProtoClient& proto) {
    std::ostringstream os;
    os << std::hex;
    const auto show = [&os](MsgType type, MsgResult result, const auto&... fields) {
        if (result != MsgResult::TYPE) {
            os << type << (result == MsgResult::OK ? "" : "!");
            ((os << ' ' << static_cast<unsigned>(fields)), ...);
        }
        return result == MsgResult::OK;
    };
    payload_client_groupid group{};
    show(MsgType::CLIENT_GROUPID, proto.get_client_groupid(group), group.groupid);
    std::string map;
    if (show(MsgType::GAMEBOARD, proto.get_gameboard(map))) {
        os << ' ' << map;
    }
    payload_client_playernum number{};
    show(MsgType::CLIENT_PLAYERNUM, proto.get_client_playernum(number), number.player);
    payload_moverequest rq{};
    show(MsgType::MOVEREQUEST, proto.get_moverequest(rq), rq.timelimit, rq.depthlimit);
    payload_move mv{};
    show(MsgType::MOVE, proto.get_move(mv), mv.x, mv.y, mv.choice);
    payload_moveannounce an{};
    show(MsgType::MOVEANNOUNCE, proto.get_moveannounce(an), an.x, an.y, an.choice, an.player);
    payload_disqualification out{};
    show(MsgType::DISQUALIFICATION, proto.get_disqualification(out), out.player);
    show(MsgType::TERMINAL, proto.get_terminal());
    show(MsgType::FIN, proto.get_fin());
    return os.str();
}

} // namespace

// Every message type: the sender's exact wire bytes, then the same bytes fed back and read as
// the held message. Fields with distinct high and low bytes catch a missing or doubled swap;
// a later message replaces the held one, whose payload then no longer answers.
TEST(Protocol, EveryMessageOnTheWireBothWays) {
    ProtoPair ends;
    ASSERT_TRUE(ends.server);
    ProtoClient& proto = *ends.client;
    TcpSocket& raw = ends.server->raw();
    const struct {
        std::function<bool(ProtoClient&)> send;
        std::string wire;
        std::string held;
    } cases[] = {
        {[](ProtoClient& p) { return p.send_move(3, 4, MoveChoice::NONE); },
         "05 00 00 00 05 00 03 00 04 00", "MOVE 3 4 0"},
        {[](ProtoClient& p) { return p.send_moverequest(1000, 0); },
         "04 00 00 00 05 00 00 03 E8 00", "MOVE_REQ 3e8 0"},
        {[](ProtoClient& p) { return p.send_terminal(); }, "08 00 00 00 00", "TERMINAL"},
        {[](ProtoClient& p) { return p.send_client_groupid(0xE3); }, "01 00 00 00 01 E3",
         "GROUPID e3"},
        {[](ProtoClient& p) { return p.send_gameboard("2\n"); }, "02 00 00 00 02 32 0A",
         "GAMEBOARD 2\n"},
        {[](ProtoClient& p) { return p.send_client_playernum(static_cast<Player>(5)); },
         "03 00 00 00 01 05", "PLAYERNUM 5"},
        {[](ProtoClient& p) { return p.send_moverequest(0xA1B2C3D4, 0x7F); },
         "04 00 00 00 05 A1 B2 C3 D4 7F", "MOVE_REQ a1b2c3d4 7f"},
        {[](ProtoClient& p) { return p.send_move(0xBEEF, 0x0102, MoveChoice::OVERRIDE); },
         "05 00 00 00 05 BE EF 01 02 15", "MOVE beef 102 15"},
        {[](ProtoClient& p) {
             return p.send_moveannounce(0x0102, 0x0304, MoveChoice::BOMB, Player::P_MAX);
         },
         "06 00 00 00 06 01 02 03 04 14 08", "MOVE_ANN 102 304 14 8"},
        {[](ProtoClient& p) { return p.send_disqualification(static_cast<Player>(2)); },
         "07 00 00 00 01 02", "DISQUALIFICATION 2"},
        {[](ProtoClient& p) { return p.send_fin(); }, "09 00 00 00 00", "FIN"},
    };
    EXPECT_EQ(held(proto), "");
    bool check = false;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.wire);
        ASSERT_TRUE(c.send(proto));
        EXPECT_EQ(receiveHex(raw, (c.wire.size() + 1) / 3), c.wire);
        ASSERT_TRUE(sendHex(raw, c.wire));
        // Every other read names the type it expects; the rest learn it from the header.
        const auto sent = static_cast<MsgType>(std::stoul(c.wire.substr(0, 2), nullptr, 16));
        check = !check;
        MsgType type = check ? sent : MsgType::FAIL;
        ASSERT_EQ(proto.receive_msg(type, check, 2000), MsgResult::OK);
        EXPECT_EQ(type, sent);
        EXPECT_EQ(held(proto), c.held);
    }
    std::uint8_t extra = 0;
    std::uint32_t timeout = 50;
    EXPECT_FALSE(raw.receive(&extra, 1, timeout));

    // A message of another type than expected is held all the same, but answered with TYPE.
    ASSERT_TRUE(sendHex(raw, "03 00 00 00 01 02"));
    MsgType type = MsgType::GAMEBOARD;
    EXPECT_EQ(proto.receive_msg(type, true, 2000), MsgResult::TYPE);
    EXPECT_EQ(type, MsgType::GAMEBOARD);
    EXPECT_EQ(held(proto), "PLAYERNUM 2");
}

// Cross-checks the header rule against a table written out independently: every type byte
// with lengths at and around each bound.
TEST(Protocol, HeaderCheckFollowsThePayloadTable) {
    // Shortest and longest payload of each type byte; none for 0 and for 10 and above.
    const std::pair<std::uint32_t, std::uint32_t> lengths[11] = {
        {1, 0}, {1, 1}, {1, 2012000}, {1, 1}, {5, 5}, {5, 5},
        {6, 6}, {1, 1}, {0, 0},       {0, 0}, {1, 0}};
    const std::vector<std::uint32_t> probes = {0, 1,       2,       4,       5,          6,
                                               7, 2011999, 2012000, 2012001, 0xFFFFFFFFu};
    for (unsigned value = 0; value < 256; ++value) {
        const auto [min, max] = lengths[std::min(value, 10u)];
        for (const std::uint32_t len : probes) {
            EXPECT_EQ(ProbeProto::message_check_hdr({static_cast<MsgType>(value), len}),
                      len >= min && len <= max)
                << "type " << value << " len " << len;
        }
    }
}

// Only headers are sent, so the stream stays in step and one connection serves every case:
// map text of 0 and 2012001 bytes, wrong lengths for fixed types, types 0, 10 and 100.
TEST(Protocol, CorruptHeadersAreRefusedBeforeAnyPayload) {
    NetLogCapture log;
    ProtoPair ends;
    ASSERT_TRUE(ends.server);
    for (const char* header :
         {"02 00 00 00 00", "02 00 1E B3 61", "02 FF FF FF FF", "08 00 00 00 01", "09 00 00 00 01",
          "05 00 00 00 06", "06 00 00 00 05", "04 00 00 00 04", "01 00 00 00 02", "00 00 00 00 00",
          "0A 00 00 00 00", "64 00 00 00 00"}) {
        SCOPED_TRACE(header);
        log.clear();
        ASSERT_TRUE(sendHex(ends.server->raw(), header));
        MsgType type = MsgType::GAMEBOARD;
        EXPECT_EQ(ends.client->receive_msg(type, false, 2000), MsgResult::FAIL);
        EXPECT_EQ(type, MsgType::FAIL);
        EXPECT_EQ(log.lines(), std::vector<std::string>{"ERROR receive_msg(): corrupt header"});
    }
    ASSERT_TRUE(ends.server->send_fin());
    MsgType type = MsgType::FIN;
    EXPECT_EQ(ends.client->receive_msg(type, true, 2000), MsgResult::OK);
}

// The longest map text goes out and arrives whole; one byte more is among the corrupt headers.
TEST(Protocol, LongestMapTextOverTheWire) {
    ProtoPair ends;
    ASSERT_TRUE(ends.server);
    std::string longest(2012000, '.');
    for (std::size_t i = 0; i < longest.size(); i += 51) {
        longest[i] = static_cast<char>('0' + i % 10);
    }
    std::thread sender([&] { EXPECT_TRUE(ends.server->send_gameboard(longest)); });
    MsgType type = MsgType::GAMEBOARD;
    EXPECT_EQ(ends.client->receive_msg(type, true, 20000), MsgResult::OK);
    sender.join();
    std::string received;
    ASSERT_EQ(ends.client->get_gameboard(received), MsgResult::OK);
    EXPECT_TRUE(received == longest);
}

// A peer that stops after part of a message is a time-out, one that closes is an error, with
// or without a limit; either way no message is held and the log names the part.
TEST(Protocol, PeerThatStallsOrClosesMidMessage) {
    NetLogCapture log;
    const struct {
        const char* bytes;
        bool close;
        std::uint32_t timeout;
        MsgResult result;
        std::string line;
    } cases[] = {
        {"05 00 00 00 05", false, 150, MsgResult::TIMEOUT, "timeout reading payload"},
        {"05 00", false, 150, MsgResult::TIMEOUT, "timeout reading header"},
        {"05 00 00 00 05 00", true, 2000, MsgResult::FAIL, "error reading payload"},
        {"05 00 00 00 05 00", true, 0, MsgResult::FAIL, "error reading payload"},
        {"05 00", true, 2000, MsgResult::FAIL, "error reading header"},
        {"", true, 0, MsgResult::FAIL, "error reading header"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line + " after " + c.bytes);
        ProtoPair ends;
        ASSERT_TRUE(ends.server);
        ASSERT_TRUE(sendHex(ends.server->raw(), c.bytes));
        if (c.close) {
            ends.server->raw().close();
        }
        MsgType type = MsgType::MOVE;
        EXPECT_EQ(ends.client->receive_msg(type, true, c.timeout), c.result);
        EXPECT_EQ(type, MsgType::FAIL);
        EXPECT_EQ(held(*ends.client), "");
        EXPECT_EQ(log.count("ERROR receive_msg(): " + c.line), 1u);
        log.clear();
    }
}

// Header and payload share one time limit: each half arrives within it, both together not.
// The header comes a second before the limit, so a slow machine does not turn it late.
TEST(Protocol, OneTimeLimitCoversHeaderAndPayload) {
    NetLogCapture log;
    ProtoPair ends;
    ASSERT_TRUE(ends.server);
    std::thread slowPeer([&ends] {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        sendHex(ends.server->raw(), "04 00 00 00 05");
        std::this_thread::sleep_for(std::chrono::milliseconds(1200));
        sendHex(ends.server->raw(), "00 00 03 E8 00");
    });
    MsgType type = MsgType::MOVEREQUEST;
    EXPECT_EQ(ends.client->receive_msg(type, true, 1500), MsgResult::TIMEOUT);
    slowPeer.join();
    EXPECT_EQ(log.count("ERROR receive_msg(): timeout reading payload"), 1u);
}

// A receive whose time is spent before it gets to the bytes, as on a machine too busy to run it
// in time: the socket's clock jumps an hour at every reading. Judged by arrival, a message whose
// bytes all wait is taken, while missing bytes still time out and a closed connection stays an
// error; the strict rule gives up after the header unless the message has no payload.
TEST(Protocol, SpentLimitTakesOnlyAMessageThatWaitsWhole) {
    NetLogCapture log;
    const std::string move = "05 00 00 00 05 00 03 00 04 00";
    const std::string missing = "WARN Timeout in receive";
    const std::string closed = "ERROR The socket was closed during receive";
    const TimeRule strict = TimeRule::STRICT;
    const TimeRule byArrival = TimeRule::BY_ARRIVAL;
    const struct {
        std::string bytes;
        bool close;
        TimeRule rule;
        MsgResult result;
        std::string held;
        std::vector<std::string> lines;
    } cases[] = {
        {move, false, byArrival, MsgResult::OK, "MOVE 3 4 0", {}},
        {move,
         false,
         strict,
         MsgResult::TIMEOUT,
         "",
         {"ERROR receive_msg(): timeout afterreading header"}},
        {"09 00 00 00 00", false, strict, MsgResult::OK, "FIN", {}},
        {"05 00 00 00 05 00 03",
         false,
         byArrival,
         MsgResult::TIMEOUT,
         "",
         {missing, "ERROR receive_msg(): timeout reading payload"}},
        {"05 00 00 00 05",
         true,
         byArrival,
         MsgResult::FAIL,
         "",
         {closed, "ERROR receive_msg(): error reading payload"}},
        {"05 00",
         false,
         byArrival,
         MsgResult::TIMEOUT,
         "",
         {missing, "ERROR receive_msg(): timeout reading header"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bytes + (c.rule == TimeRule::STRICT ? " strict" : " by arrival"));
        ProtoPair ends;
        ASSERT_TRUE(ends.server);
        ends.client->raw().setClock(alwaysLate());
        ASSERT_TRUE(sendHex(ends.server->raw(), c.bytes));
        if (c.close) {
            ends.server->raw().close();
        }
        MsgType type = MsgType::FAIL;
        EXPECT_EQ(ends.client->receive_msg(type, false, 1, c.rule), c.result);
        EXPECT_EQ(held(*ends.client), c.held);
        EXPECT_EQ(log.lines(), c.lines);
        log.clear();
    }
}

// A message counts as sent only when all of it went out, and the log names the part that did
// not: a peer that resets the connection while a long payload is still on its way (far more
// than the socket buffers hold) fails the payload; every later send fails at the header, and
// no SIGPIPE ends the process.
TEST(Protocol, SendsToAPeerThatWentAwayFail) {
    NetLogCapture log;
    ProtoPair ends;
    ASSERT_TRUE(ends.server);
    const std::string huge(std::size_t{16} << 20, '.');
    std::thread sender([&] { EXPECT_FALSE(ends.client->send_gameboard(huge)); });
    EXPECT_EQ(receiveHex(ends.server->raw(), 5), "02 01 00 00 00");
    ends.server->raw().close();
    sender.join();
    EXPECT_FALSE(ends.client->send_move(1, 2, MoveChoice::NONE));
    EXPECT_EQ(log.lines(), (std::vector<std::string>{"ERROR send_msg(): failed to send payload",
                                                     "ERROR send_msg(): failed to send header"}));
}

// Payloads of any other length than their type's are left alone; the known type names show in
// the held-message texts above.
TEST(Protocol, ConversionAndNamesOfOddTypes) {
    NetLogCapture log;
    std::uint8_t bytes[6] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06};
    EXPECT_FALSE(ProbeProto::message_ntoh({MsgType::MOVEANNOUNCE, 4}, bytes));
    EXPECT_EQ(testing_support::hex(bytes, 6), "01 02 03 04 05 06");
    EXPECT_TRUE(ProbeProto::message_ntoh({static_cast<MsgType>('A'), 0}, bytes));
    EXPECT_EQ(log.lines(), std::vector<std::string>{"WARN ntoh for msgtype A"});

    for (const unsigned value : {0u, 10u, 100u, 255u}) {
        std::ostringstream os;
        os << static_cast<MsgType>(value);
        EXPECT_EQ(os.str(), value == 100 ? "FAIL" : "?");
    }
}
