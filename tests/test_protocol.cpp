#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "common/Protocol.hpp"
#include "support/NetTestSupport.hpp"

using testing_support::LoopbackPair;
using testing_support::NetLogCapture;
using testing_support::receiveHex;
using testing_support::sendHex;

namespace {

// The header check and the conversion opened up for table tests.
class ProbeProto : public ProtoClient {
public:
    using ProtoClient::message_check_hdr;
    using ProtoClient::message_ntoh;
};

// A ProtoClient on one end of a connection and the raw socket of the other end, to compare
// and inject exact wire bytes.
struct RawPeer {
    LoopbackPair pair;
    std::unique_ptr<ProtoClient> proto{pair.connected() ? new ProtoClient(pair.releaseClient())
                                                        : nullptr};
    TcpSocket& raw() { return pair.server(); }
};

// ProtoClients on both ends of one connection.
struct ProtoPair {
    LoopbackPair pair;
    std::unique_ptr<ProtoClient> client{pair.connected() ? new ProtoClient(pair.releaseClient())
                                                         : nullptr};
    std::unique_ptr<ProtoClient> server{client ? new ProtoClient(pair.releaseServer()) : nullptr};
};

// Receives one message of the expected type within two seconds.
MsgResult receiveExpected(ProtoClient& proto, MsgType expected) {
    MsgType type = expected;
    return proto.receive_msg(type, true, 2000);
}

std::string text(MsgType type) {
    std::ostringstream os;
    os << type;
    return os.str();
}

} // namespace

TEST(Protocol, SendersPutTheExactWireBytes) {
    RawPeer peer;
    ASSERT_TRUE(peer.proto);
    ProtoClient& proto = *peer.proto;

    EXPECT_TRUE(proto.send_move(3, 4, MoveChoice::NONE));
    EXPECT_EQ(receiveHex(peer.raw(), 10), "05 00 00 00 05 00 03 00 04 00");
    EXPECT_TRUE(proto.send_moverequest(1000, 0));
    EXPECT_EQ(receiveHex(peer.raw(), 10), "04 00 00 00 05 00 00 03 E8 00");
    EXPECT_TRUE(proto.send_terminal());
    EXPECT_EQ(receiveHex(peer.raw(), 5), "08 00 00 00 00");
    EXPECT_TRUE(proto.send_fin());
    EXPECT_EQ(receiveHex(peer.raw(), 5), "09 00 00 00 00");
    EXPECT_TRUE(proto.send_client_groupid(17));
    EXPECT_EQ(receiveHex(peer.raw(), 6), "01 00 00 00 01 11");
    EXPECT_TRUE(proto.send_gameboard("2\n"));
    EXPECT_EQ(receiveHex(peer.raw(), 7), "02 00 00 00 02 32 0A");
    EXPECT_TRUE(proto.send_client_playernum(static_cast<Player>(3)));
    EXPECT_EQ(receiveHex(peer.raw(), 6), "03 00 00 00 01 03");
    EXPECT_TRUE(proto.send_moveannounce(0x0102, 0x0304, MoveChoice::BOMB, Player::P_MAX));
    EXPECT_EQ(receiveHex(peer.raw(), 11), "06 00 00 00 06 01 02 03 04 14 08");
    EXPECT_TRUE(proto.send_disqualification(static_cast<Player>(2)));
    EXPECT_EQ(receiveHex(peer.raw(), 6), "07 00 00 00 01 02");

    // Nothing beyond those bytes was sent.
    std::uint8_t extra = 0;
    std::uint32_t timeout = 50;
    EXPECT_FALSE(peer.raw().receive(&extra, 1, timeout));
}

TEST(Protocol, ExampleBytesDecode) {
    RawPeer peer;
    ASSERT_TRUE(peer.proto);
    ProtoClient& proto = *peer.proto;

    ASSERT_TRUE(sendHex(peer.raw(), "05 00 00 00 05 00 03 00 04 00"));
    ASSERT_EQ(receiveExpected(proto, MsgType::MOVE), MsgResult::OK);
    payload_move move{};
    ASSERT_EQ(proto.get_move(move), MsgResult::OK);
    EXPECT_EQ(move.x, 3);
    EXPECT_EQ(move.y, 4);
    EXPECT_EQ(move.choice, MoveChoice::NONE);

    ASSERT_TRUE(sendHex(peer.raw(), "04 00 00 00 05 00 00 03 E8 00"));
    ASSERT_EQ(receiveExpected(proto, MsgType::MOVEREQUEST), MsgResult::OK);
    payload_moverequest request{};
    ASSERT_EQ(proto.get_moverequest(request), MsgResult::OK);
    EXPECT_EQ(request.timelimit, 1000u);
    EXPECT_EQ(request.depthlimit, 0);

    ASSERT_TRUE(sendHex(peer.raw(), "08 00 00 00 00"));
    EXPECT_EQ(receiveExpected(proto, MsgType::TERMINAL), MsgResult::OK);
    EXPECT_EQ(proto.get_terminal(), MsgResult::OK);
}

// Values with distinct high and low bytes catch a missing or doubled byte-order swap.
TEST(Protocol, EveryMessageSurvivesTheRoundTrip) {
    ProtoPair ends;
    ASSERT_TRUE(ends.server);
    ProtoClient& server = *ends.server;
    ProtoClient& client = *ends.client;

    ASSERT_TRUE(client.send_client_groupid(0xE3));
    ASSERT_EQ(receiveExpected(server, MsgType::CLIENT_GROUPID), MsgResult::OK);
    payload_client_groupid group{};
    ASSERT_EQ(server.get_client_groupid(group), MsgResult::OK);
    EXPECT_EQ(group.groupid, 0xE3);

    const std::string map = "2\n0\n0 0\n2 2\n1 2\n2 1\n";
    ASSERT_TRUE(server.send_gameboard(map));
    ASSERT_EQ(receiveExpected(client, MsgType::GAMEBOARD), MsgResult::OK);
    std::string received;
    ASSERT_EQ(client.get_gameboard(received), MsgResult::OK);
    EXPECT_EQ(received, map);

    ASSERT_TRUE(server.send_client_playernum(static_cast<Player>(5)));
    ASSERT_EQ(receiveExpected(client, MsgType::CLIENT_PLAYERNUM), MsgResult::OK);
    payload_client_playernum number{};
    ASSERT_EQ(client.get_client_playernum(number), MsgResult::OK);
    EXPECT_EQ(number.player, static_cast<Player>(5));

    ASSERT_TRUE(server.send_moverequest(0xA1B2C3D4, 0x7F));
    ASSERT_EQ(receiveExpected(client, MsgType::MOVEREQUEST), MsgResult::OK);
    payload_moverequest request{};
    ASSERT_EQ(client.get_moverequest(request), MsgResult::OK);
    EXPECT_EQ(request.timelimit, 0xA1B2C3D4u);
    EXPECT_EQ(request.depthlimit, 0x7F);

    ASSERT_TRUE(client.send_move(0xBEEF, 0x0102, MoveChoice::OVERRIDE));
    ASSERT_EQ(receiveExpected(server, MsgType::MOVE), MsgResult::OK);
    payload_move move{};
    ASSERT_EQ(server.get_move(move), MsgResult::OK);
    EXPECT_EQ(move.x, 0xBEEF);
    EXPECT_EQ(move.y, 0x0102);
    EXPECT_EQ(move.choice, MoveChoice::OVERRIDE);

    ASSERT_TRUE(server.send_moveannounce(0x0A0B, 0xFFFE, MoveChoice::PLAYER1, Player::P_MAX));
    ASSERT_EQ(receiveExpected(client, MsgType::MOVEANNOUNCE), MsgResult::OK);
    payload_moveannounce announce{};
    ASSERT_EQ(client.get_moveannounce(announce), MsgResult::OK);
    EXPECT_EQ(announce.x, 0x0A0B);
    EXPECT_EQ(announce.y, 0xFFFE);
    EXPECT_EQ(announce.choice, MoveChoice::PLAYER1);
    EXPECT_EQ(announce.player, Player::P_MAX);

    ASSERT_TRUE(server.send_disqualification(static_cast<Player>(2)));
    ASSERT_EQ(receiveExpected(client, MsgType::DISQUALIFICATION), MsgResult::OK);
    payload_disqualification disqualified{};
    ASSERT_EQ(client.get_disqualification(disqualified), MsgResult::OK);
    EXPECT_EQ(disqualified.player, static_cast<Player>(2));

    ASSERT_TRUE(server.send_terminal());
    ASSERT_EQ(receiveExpected(client, MsgType::TERMINAL), MsgResult::OK);
    EXPECT_EQ(client.get_terminal(), MsgResult::OK);

    ASSERT_TRUE(server.send_fin());
    MsgType type = MsgType::MOVE;
    ASSERT_EQ(client.receive_msg(type, false, 0), MsgResult::OK);
    EXPECT_EQ(type, MsgType::FIN);
    EXPECT_EQ(client.get_fin(), MsgResult::OK);
}

// Only the held message's own read answers; an older payload still in memory does not count.
TEST(Protocol, TypedReadsAnswerOnlyForTheHeldType) {
    ProtoPair ends;
    ASSERT_TRUE(ends.server);
    ProtoClient& client = *ends.client;
    payload_moverequest request{};
    payload_move move{};
    payload_client_groupid group{};
    payload_client_playernum number{};
    payload_moveannounce announce{};
    payload_disqualification disqualified{};
    std::string map;

    EXPECT_EQ(client.get_moverequest(request), MsgResult::TYPE);
    EXPECT_EQ(client.get_terminal(), MsgResult::TYPE);

    ASSERT_TRUE(ends.server->send_moverequest(500, 3));
    ASSERT_EQ(receiveExpected(client, MsgType::MOVEREQUEST), MsgResult::OK);
    ASSERT_TRUE(ends.server->send_terminal());
    ASSERT_EQ(receiveExpected(client, MsgType::TERMINAL), MsgResult::OK);

    EXPECT_EQ(client.get_moverequest(request), MsgResult::TYPE);
    EXPECT_EQ(client.get_move(move), MsgResult::TYPE);
    EXPECT_EQ(client.get_client_groupid(group), MsgResult::TYPE);
    EXPECT_EQ(client.get_client_playernum(number), MsgResult::TYPE);
    EXPECT_EQ(client.get_moveannounce(announce), MsgResult::TYPE);
    EXPECT_EQ(client.get_disqualification(disqualified), MsgResult::TYPE);
    EXPECT_EQ(client.get_gameboard(map), MsgResult::TYPE);
    EXPECT_EQ(client.get_fin(), MsgResult::TYPE);
    EXPECT_EQ(client.get_terminal(), MsgResult::OK);
}

TEST(Protocol, UnexpectedTypeIsHeldButAnsweredWithType) {
    RawPeer peer;
    ASSERT_TRUE(peer.proto);
    ASSERT_TRUE(sendHex(peer.raw(), "03 00 00 00 01 02"));
    MsgType type = MsgType::GAMEBOARD;
    EXPECT_EQ(peer.proto->receive_msg(type, true, 2000), MsgResult::TYPE);
    EXPECT_EQ(type, MsgType::GAMEBOARD);
    payload_client_playernum number{};
    ASSERT_EQ(peer.proto->get_client_playernum(number), MsgResult::OK);
    EXPECT_EQ(number.player, static_cast<Player>(2));
    std::string map;
    EXPECT_EQ(peer.proto->get_gameboard(map), MsgResult::TYPE);
}

// Cross-checks the header rule against a table written out independently: every type byte
// with lengths at and around each bound.
TEST(Protocol, HeaderCheckFollowsThePayloadTable) {
    struct Range {
        std::uint32_t min;
        std::uint32_t max;
    };
    const Range exactlyOne{1, 1};
    const Range lengths[10] = {{1, 0}, exactlyOne, {1, 2012000}, exactlyOne, {5, 5},
                               {5, 5}, {6, 6},     exactlyOne,   {0, 0},     {0, 0}};
    const std::vector<std::uint32_t> probes = {0, 1,       2,       4,       5,          6,
                                               7, 2011999, 2012000, 2012001, 0xFFFFFFFFu};
    for (unsigned value = 0; value < 256; ++value) {
        for (const std::uint32_t len : probes) {
            const bool known = value >= 1 && value <= 9;
            const bool expected = known && len >= lengths[value].min && len <= lengths[value].max;
            const MessageHeader header{static_cast<MsgType>(value), len};
            EXPECT_EQ(ProbeProto::message_check_hdr(header), expected)
                << "type " << value << " len " << len;
        }
    }
}

// Only headers are sent, so the stream stays in step and one connection serves every case.
TEST(Protocol, CorruptHeadersAreRefusedBeforeAnyPayload) {
    NetLogCapture log;
    RawPeer peer;
    ASSERT_TRUE(peer.proto);
    const char* corrupt[] = {
        "02 00 00 00 00", // empty map text
        "02 00 1E B3 61", // map text of 2012001 bytes
        "02 FF FF FF FF", "08 00 00 00 01", "09 00 00 00 01", "05 00 00 00 06", "06 00 00 00 05",
        "04 00 00 00 04", "01 00 00 00 02", "00 00 00 00 00", "0A 00 00 00 00", "64 00 00 00 00",
    };
    for (const char* header : corrupt) {
        SCOPED_TRACE(header);
        log.clear();
        ASSERT_TRUE(sendHex(peer.raw(), header));
        MsgType type = MsgType::GAMEBOARD;
        EXPECT_EQ(peer.proto->receive_msg(type, false, 2000), MsgResult::FAIL);
        EXPECT_EQ(type, MsgType::FAIL);
        EXPECT_EQ(log.lines(), std::vector<std::string>{"ERROR receive_msg(): corrupt header"});
    }
    ASSERT_TRUE(sendHex(peer.raw(), "09 00 00 00 00"));
    EXPECT_EQ(receiveExpected(*peer.proto, MsgType::FIN), MsgResult::OK);
}

// The sender does not check the length: the receiver accepts the longest map text and
// refuses one byte more.
TEST(Protocol, MapTextLengthLimitOverTheWire) {
    NetLogCapture log;
    ProtoPair ends;
    ASSERT_TRUE(ends.server);
    std::string longest(2012000, '.');
    for (std::size_t i = 0; i < longest.size(); i += 51) {
        longest[i] = static_cast<char>('0' + i % 10);
    }
    const std::string tooLong = longest + "\n";
    bool sentLongest = false;
    std::thread sender([&] {
        sentLongest = ends.server->send_gameboard(longest);
        ends.server->send_gameboard(tooLong);
    });
    MsgType type = MsgType::GAMEBOARD;
    EXPECT_EQ(ends.client->receive_msg(type, true, 20000), MsgResult::OK);
    std::string received;
    ASSERT_EQ(ends.client->get_gameboard(received), MsgResult::OK);
    EXPECT_TRUE(received == longest);
    EXPECT_EQ(ends.client->receive_msg(type, true, 20000), MsgResult::FAIL);
    EXPECT_EQ(log.count("ERROR receive_msg(): corrupt header"), 1u);

    // Giving the connection up releases the sender, which is still pushing the refused text.
    ends.client.reset();
    sender.join();
    EXPECT_TRUE(sentLongest);
}

TEST(Protocol, PeerThatStallsOrClosesMidMessage) {
    NetLogCapture log;
    const auto expectResult = [&log](MsgResult got, MsgResult want, const std::string& line) {
        EXPECT_EQ(got, want);
        EXPECT_EQ(log.count(line), 1u) << line;
        log.clear();
    };
    {
        RawPeer peer;
        ASSERT_TRUE(peer.proto);
        ASSERT_TRUE(sendHex(peer.raw(), "05 00 00 00 05"));
        MsgType type = MsgType::MOVE;
        expectResult(peer.proto->receive_msg(type, true, 150), MsgResult::TIMEOUT,
                     "ERROR receive_msg(): timeout reading payload");
        EXPECT_EQ(type, MsgType::FAIL);
        payload_move move{};
        EXPECT_EQ(peer.proto->get_move(move), MsgResult::TYPE);

        expectResult(peer.proto->receive_msg(type, false, 150), MsgResult::TIMEOUT,
                     "ERROR receive_msg(): timeout reading header");
    }
    for (const std::uint32_t timeout : {2000u, 0u}) {
        SCOPED_TRACE(timeout);
        RawPeer peer;
        ASSERT_TRUE(peer.proto);
        ASSERT_TRUE(sendHex(peer.raw(), "05 00 00 00 05 00"));
        peer.pair.closeServer();
        MsgType type = MsgType::MOVE;
        expectResult(peer.proto->receive_msg(type, true, timeout), MsgResult::FAIL,
                     "ERROR receive_msg(): error reading payload");
        EXPECT_EQ(type, MsgType::FAIL);
        expectResult(peer.proto->receive_msg(type, true, timeout), MsgResult::FAIL,
                     "ERROR receive_msg(): error reading header");
    }
}

// Header and payload share one time limit: each half arrives within it, both together not.
// The header comes a second before the limit, so a slow machine does not turn it late.
TEST(Protocol, OneTimeLimitCoversHeaderAndPayload) {
    NetLogCapture log;
    RawPeer peer;
    ASSERT_TRUE(peer.proto);
    std::thread slowPeer([&peer] {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        sendHex(peer.raw(), "04 00 00 00 05");
        std::this_thread::sleep_for(std::chrono::milliseconds(1200));
        sendHex(peer.raw(), "00 00 03 E8 00");
    });
    MsgType type = MsgType::MOVEREQUEST;
    EXPECT_EQ(peer.proto->receive_msg(type, true, 1500), MsgResult::TIMEOUT);
    slowPeer.join();
    EXPECT_EQ(log.count("ERROR receive_msg(): timeout reading payload"), 1u);
}

TEST(Protocol, SendingToAClosedPeerFails) {
    NetLogCapture log;
    ProtoPair ends;
    ASSERT_TRUE(ends.server);
    ends.client.reset();
    bool sent = true;
    for (int attempt = 0; attempt < 400 && sent; ++attempt) {
        sent = ends.server->send_move(1, 2, MoveChoice::NONE);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_FALSE(sent);
    EXPECT_EQ(log.count("ERROR send_msg(): failed to send header"), 1u);
}

// A message is sent only when all of it went out: a peer that resets the connection while the
// payload is still on its way makes the send fail, and the log names the payload.
TEST(Protocol, PayloadCutOffByThePeerFails) {
    NetLogCapture log;
    RawPeer peer;
    ASSERT_TRUE(peer.proto);
    // Far more than the socket buffers of both ends hold, so the send is still going on when
    // the peer goes away with bytes unread.
    const std::string huge(std::size_t{16} << 20, '.');
    bool sent = true;
    std::thread sender([&] { sent = peer.proto->send_gameboard(huge); });
    EXPECT_EQ(receiveHex(peer.raw(), 5), "02 01 00 00 00");
    peer.pair.closeServer();
    sender.join();
    EXPECT_FALSE(sent);
    EXPECT_EQ(log.lines(), std::vector<std::string>{"ERROR send_msg(): failed to send payload"});
}

TEST(Protocol, ConversionTouchesOnlyPayloadsOfTheirExactLength) {
    NetLogCapture log;
    std::uint8_t bytes[6] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06};
    std::uint8_t expected[6];
    std::memcpy(expected, bytes, sizeof bytes);

    EXPECT_FALSE(ProbeProto::message_ntoh({MsgType::MOVEANNOUNCE, 4}, bytes));
    EXPECT_FALSE(ProbeProto::message_ntoh({MsgType::MOVEREQUEST, 2}, bytes));
    EXPECT_EQ(std::memcmp(bytes, expected, sizeof bytes), 0);

    ASSERT_TRUE(ProbeProto::message_ntoh({MsgType::MOVEANNOUNCE, 6}, bytes));
    std::uint16_t x = 0;
    std::uint16_t y = 0;
    std::memcpy(&x, bytes, 2);
    std::memcpy(&y, bytes + 2, 2);
    EXPECT_EQ(x, 0x0102);
    EXPECT_EQ(y, 0x0304);
    EXPECT_EQ(bytes[4], 0x05);

    EXPECT_TRUE(ProbeProto::message_ntoh({static_cast<MsgType>('A'), 0}, bytes));
    EXPECT_EQ(log.lines(), std::vector<std::string>{"WARN ntoh for msgtype A"});
}

TEST(Protocol, TypeNames) {
    EXPECT_EQ(text(MsgType::CLIENT_GROUPID), "GROUPID");
    EXPECT_EQ(text(MsgType::GAMEBOARD), "GAMEBOARD");
    EXPECT_EQ(text(MsgType::CLIENT_PLAYERNUM), "PLAYERNUM");
    EXPECT_EQ(text(MsgType::MOVEREQUEST), "MOVE_REQ");
    EXPECT_EQ(text(MsgType::MOVE), "MOVE");
    EXPECT_EQ(text(MsgType::MOVEANNOUNCE), "MOVE_ANN");
    EXPECT_EQ(text(MsgType::DISQUALIFICATION), "DISQUALIFICATION");
    EXPECT_EQ(text(MsgType::TERMINAL), "TERMINAL");
    EXPECT_EQ(text(MsgType::FIN), "FIN");
    EXPECT_EQ(text(MsgType::FAIL), "FAIL");
    EXPECT_EQ(text(static_cast<MsgType>(0)), "?");
    EXPECT_EQ(text(static_cast<MsgType>(10)), "?");
    EXPECT_EQ(text(static_cast<MsgType>(255)), "?");
}
