#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "common/Network.hpp"
#include "support/NetTestSupport.hpp"

using testing_support::hex;
using testing_support::LoopbackPair;
using testing_support::NetLogCapture;
using testing_support::receiveHex;
using testing_support::sendHex;
using testing_support::SocketPtr;

// One listening socket serves IPv4 and IPv6 clients and bytes flow both ways; a second
// open_port or connect_to on an open socket fails without leaking or replacing the connection;
// a failed connect leaves the client reusable.
TEST(TcpServer, ServesIPv4AndIPv6ClientsOnAFreePort) {
    EXPECT_TRUE(TcpSocket::initialize());
    NetLogCapture log;
    TcpServer server;
    ASSERT_TRUE(server.open_port(0));
    const std::uint16_t port = server.getPort();
    ASSERT_NE(port, 0);
    EXPECT_FALSE(server.open_port(0));
    EXPECT_EQ(server.getPort(), port);

    for (const char* address : {"127.0.0.1", "::1", "localhost"}) {
        SCOPED_TRACE(address);
        TcpClient client;
        ASSERT_TRUE(client.connect_to(address, port));
        SocketPtr accepted(server.accept(5000));
        ASSERT_TRUE(accepted);
        EXPECT_FALSE(client.connect_to(address, port));
        EXPECT_TRUE(sendHex(client, "70 69 6E 67"));
        EXPECT_EQ(receiveHex(*accepted, 4), "70 69 6E 67");
        EXPECT_TRUE(sendHex(*accepted, "00 FF"));
        EXPECT_EQ(receiveHex(client, 2), "00 FF");
        client.close();
    }
    TcpClient client;
    EXPECT_FALSE(client.connect_to("no-such-host.invalid", 7777));
    server.close();
    server.close();
    EXPECT_EQ(server.getPort(), 0);
    EXPECT_FALSE(client.connect_to("127.0.0.1", port));
    EXPECT_FALSE(client.alive());
    const std::string connectOpen = "ERROR Connect failed, socket already open";
    EXPECT_EQ(log.lines(),
              (std::vector<std::string>{
                  "ERROR Listen failed, socket already open", connectOpen, connectOpen, connectOpen,
                  "ERROR Unable to resolve address no-such-host.invalid (port 7777)",
                  "ERROR Connect failed"}));
    ASSERT_TRUE(server.open_port(0));
    EXPECT_TRUE(client.connect_to("127.0.0.1", server.getPort()));
    client.close();
    EXPECT_TRUE(TcpSocket::deinitialize());
}

// A socket object that goes away without close() still releases its descriptor.
TEST(TcpSocket, DestructorReleasesAnOpenHandle) {
    std::uint16_t port = 0;
    {
        TcpServer server;
        ASSERT_TRUE(server.open_port(0));
        port = server.getPort();
    }
    NetLogCapture log;
    TcpClient client;
    EXPECT_FALSE(client.connect_to("127.0.0.1", port));
    EXPECT_EQ(log.lines(), std::vector<std::string>{"ERROR Connect failed"});
}

// accept keeps its limit, and ends at once without a listening socket even when given none
// (0); a connection it hands out waits for its data although the listening socket does not.
TEST(TcpServer, AcceptKeepsItsLimitAndHandsOutBlockingSockets) {
    NetLogCapture log;
    TcpServer server;
    ASSERT_TRUE(server.open_port(0));
    EXPECT_EQ(server.accept(100), nullptr);
    TcpClient client;
    ASSERT_TRUE(client.connect_to("127.0.0.1", server.getPort()));
    SocketPtr accepted(server.accept(0));
    ASSERT_TRUE(accepted);
    std::thread peer([&client] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        sendHex(client, "01 02 03 04");
    });
    std::uint8_t buffer[4] = {};
    EXPECT_TRUE(accepted->receive(buffer, sizeof buffer));
    EXPECT_EQ(hex(buffer, sizeof buffer), "01 02 03 04");
    peer.join();
    client.close();

    server.close();
    EXPECT_EQ(server.accept(0), nullptr);
    EXPECT_EQ(log.lines(),
              (std::vector<std::string>{"DEBUG Timeout on select", "ERROR Timeout on accept",
                                        "DEBUG Error on select: " + std::to_string(EBADF),
                                        "ERROR Timeout on accept"}));
}

// A peer that stops reading fills the buffers of both ends; with a send limit the send gives
// up and says how much went out instead of blocking for ever.
TEST(TcpSocket, SendLimitEndsASendToAPeerThatStoppedReading) {
    LoopbackPair pair;
    ASSERT_TRUE(pair.connected());
    ASSERT_TRUE(pair.server->setSendLimit(100));
    const std::vector<std::uint8_t> bytes(64 << 20);
    const std::size_t sent = pair.server->send(bytes.data(), bytes.size());
    EXPECT_GT(sent, 0u);
    EXPECT_LT(sent, bytes.size());
}

// A silent peer is a time-out with no time left. A peer that closes is an error with time left,
// and so is one that goes away with bytes unread, which resets the connection: callers must not
// take either for a time-out.
TEST(TcpSocket, TimedReceiveTellsTimeoutFromCloseAndReset) {
    NetLogCapture log;
    LoopbackPair closing;
    LoopbackPair resetting;
    ASSERT_TRUE(closing.connected() && resetting.connected());
    std::uint8_t buffer[4] = {};
    std::uint32_t timeout = 100;
    EXPECT_FALSE(closing.server->receive(buffer, 4, timeout));
    EXPECT_EQ(timeout, 0u);
    ASSERT_TRUE(sendHex(*closing.client, "01 02 03"));
    closing.client->close();
    timeout = 5000;
    EXPECT_FALSE(closing.server->receive(buffer, 4, timeout));
    EXPECT_NE(timeout, 0u);

    ASSERT_TRUE(sendHex(*resetting.server, "01 02"));
    ASSERT_EQ(receiveHex(*resetting.client, 1), "01");
    resetting.client->close();
    timeout = 5000;
    EXPECT_FALSE(resetting.server->receive(buffer, 1, timeout));
    EXPECT_NE(timeout, 0u);
    EXPECT_EQ(log.lines(),
              (std::vector<std::string>{"DEBUG Timeout on select", "WARN Timeout in receive",
                                        "ERROR The socket was closed during receive",
                                        "ERROR Error receiving data"}));
}

// A receive that takes only what already waits, as a caller whose time is spent does: the
// bytes that are there, a time-out with nothing left when some are missing, and an error with
// time left once the peer has closed, although the deadline of such a receive has passed.
TEST(TcpSocket, ReceiveWaitingTakesOnlyBytesThatAreThere) {
    NetLogCapture log;
    LoopbackPair pair;
    ASSERT_TRUE(pair.connected());
    ASSERT_TRUE(sendHex(*pair.client, "01 02 03"));
    std::uint8_t buffer[2] = {};
    std::uint32_t timeout = 0;
    EXPECT_TRUE(pair.server->receiveWaiting(buffer, 2, timeout));
    EXPECT_EQ(hex(buffer, 2), "01 02");
    EXPECT_FALSE(pair.server->receiveWaiting(buffer, 2, timeout));
    EXPECT_EQ(timeout, 0u);
    pair.client->close();
    EXPECT_FALSE(pair.server->receiveWaiting(buffer, 1, timeout));
    EXPECT_NE(timeout, 0u);
    EXPECT_EQ(log.lines(),
              (std::vector<std::string>{"WARN Timeout in receive",
                                        "ERROR The socket was closed during receive"}));
}

// The limit counts from the start of the call: a peer that sends a byte every fraction of a
// millisecond must not keep the receive alive. Should the limit be stretched, the receive
// would end only when the peer closes, which it reports as an error instead of a time-out.
TEST(TcpSocket, TricklingPeerCannotStretchTheLimit) {
    NetLogCapture log;
    LoopbackPair pair;
    ASSERT_TRUE(pair.connected());
    std::atomic<bool> stop{false};
    std::thread peer([&pair, &stop] {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (!stop && std::chrono::steady_clock::now() < end) {
            sendHex(*pair.client, "55");
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        pair.client->close();
    });
    std::vector<std::uint8_t> buffer(1 << 20);
    std::uint32_t timeout = 200;
    EXPECT_FALSE(pair.server->receive(buffer.data(), buffer.size(), timeout));
    stop = true;
    peer.join();
    EXPECT_EQ(timeout, 0u);
    EXPECT_EQ(log.count("WARN Timeout in receive"), 1u);
}
