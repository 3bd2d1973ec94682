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

using testing_support::LoopbackPair;
using testing_support::NetLogCapture;
using testing_support::receiveHex;
using testing_support::sendHex;

namespace {

// Clients and servers with their readiness wait opened up for tests.
class ProbeClient : public TcpClient {
public:
    using TcpSocket::wait;
};

class ProbeServer : public TcpServer {
public:
    using TcpSocket::wait;
};

const std::string errorOnSelect = "DEBUG Error on select: " + std::to_string(EBADF);

} // namespace

TEST(TcpSocket, ProcessWideStartAndEndSucceed) {
    EXPECT_TRUE(TcpSocket::initialize());
    EXPECT_TRUE(TcpSocket::deinitialize());
}

TEST(TcpServer, ListensOnAFreePortForIPv4AndIPv6Clients) {
    NetLogCapture log;
    TcpServer server;
    EXPECT_EQ(server.getPort(), 0);
    ASSERT_TRUE(server.open_port(0));
    const std::uint16_t port = server.getPort();
    ASSERT_NE(port, 0);
    EXPECT_FALSE(server.open_port(0));
    EXPECT_EQ(log.count("ERROR Listen failed, socket already open"), 1u);
    EXPECT_EQ(server.getPort(), port);

    for (const char* address : {"127.0.0.1", "::1", "localhost"}) {
        SCOPED_TRACE(address);
        TcpClient client;
        ASSERT_TRUE(client.connect_to(address, port));
        TcpSocket* accepted = server.accept(5000);
        ASSERT_NE(accepted, nullptr);
        EXPECT_TRUE(client.alive());
        EXPECT_TRUE(accepted->alive());
        EXPECT_TRUE(sendHex(client, "70 69 6E 67"));
        EXPECT_EQ(receiveHex(*accepted, 4), "70 69 6E 67");
        EXPECT_TRUE(sendHex(*accepted, "00 FF"));
        EXPECT_EQ(receiveHex(client, 2), "00 FF");
        accepted->close();
        delete accepted;
        client.close();
        EXPECT_FALSE(client.alive());
    }
    server.close();
    server.close();
    EXPECT_EQ(server.getPort(), 0);
}

// A second connect must neither leak nor replace the working connection.
TEST(TcpClient, ConnectOnAnOpenSocketKeepsTheConnection) {
    NetLogCapture log;
    TcpServer server;
    ASSERT_TRUE(server.open_port(0));
    TcpClient client;
    ASSERT_TRUE(client.connect_to("127.0.0.1", server.getPort()));
    TcpSocket* accepted = server.accept(5000);
    ASSERT_NE(accepted, nullptr);

    EXPECT_FALSE(client.connect_to("127.0.0.1", server.getPort()));
    EXPECT_EQ(log.count("ERROR Connect failed, socket already open"), 1u);
    EXPECT_TRUE(sendHex(client, "2A"));
    EXPECT_EQ(receiveHex(*accepted, 1), "2A");
    accepted->close();
    delete accepted;
    client.close();
    server.close();
}

TEST(TcpClient, ConnectFailuresAreLoggedAndLeaveTheClientReusable) {
    NetLogCapture log;
    TcpClient client;
    EXPECT_FALSE(client.connect_to("no-such-host.invalid", 7777));
    EXPECT_EQ(log.count("ERROR Unable to resolve address no-such-host.invalid (port 7777)"), 1u);

    TcpServer gone;
    ASSERT_TRUE(gone.open_port(0));
    const std::uint16_t closedPort = gone.getPort();
    gone.close();
    EXPECT_FALSE(client.connect_to("127.0.0.1", closedPort));
    EXPECT_EQ(log.count("ERROR Connect failed"), 1u);
    EXPECT_FALSE(client.alive());

    TcpServer server;
    ASSERT_TRUE(server.open_port(0));
    EXPECT_TRUE(client.connect_to("127.0.0.1", server.getPort()));
    client.close();
    server.close();
}

TEST(TcpServer, AcceptGivesUpAfterItsLimit) {
    NetLogCapture log;
    TcpServer server;
    ASSERT_TRUE(server.open_port(0));
    EXPECT_EQ(server.accept(100), nullptr);
    EXPECT_EQ(log.lines(),
              (std::vector<std::string>{"DEBUG Timeout on select", "ERROR Timeout on accept"}));
    server.close();

    log.clear();
    EXPECT_EQ(server.accept(100), nullptr);
    EXPECT_EQ(log.lines(), (std::vector<std::string>{errorOnSelect, "ERROR Timeout on accept"}));
}

// The listening socket is non-blocking; a connection handed out must still wait for its data.
TEST(TcpServer, AcceptedSocketsBlock) {
    LoopbackPair pair;
    ASSERT_TRUE(pair.connected());
    std::thread peer([&pair] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        sendHex(pair.client(), "01 02 03 04");
    });
    std::uint8_t buffer[4] = {};
    EXPECT_TRUE(pair.server().receive(buffer, sizeof buffer));
    EXPECT_EQ(testing_support::hex(buffer, sizeof buffer), "01 02 03 04");
    peer.join();
}

TEST(TcpSocket, WaitReportsReadinessWithinItsLimit) {
    NetLogCapture log;
    ProbeServer server;
    ASSERT_TRUE(server.open_port(0));
    EXPECT_FALSE(server.wait(50));
    EXPECT_EQ(log.count("DEBUG Timeout on select"), 1u);

    ProbeClient client;
    ASSERT_TRUE(client.connect_to("::1", server.getPort()));
    EXPECT_TRUE(server.wait(0));
    TcpSocket* accepted = server.accept(5000);
    ASSERT_NE(accepted, nullptr);
    EXPECT_FALSE(client.wait(50));
    EXPECT_TRUE(sendHex(*accepted, "07"));
    EXPECT_TRUE(client.wait(0));
    EXPECT_TRUE(client.wait(5000));

    // A closed peer counts as readable: the next receive tells of the close.
    accepted->close();
    delete accepted;
    EXPECT_EQ(receiveHex(client, 1), "07");
    EXPECT_TRUE(client.wait(5000));

    // Without a socket there is nothing to wait for, even without a limit.
    client.close();
    log.clear();
    EXPECT_FALSE(client.wait(0));
    EXPECT_EQ(log.lines(), std::vector<std::string>{errorOnSelect});
    server.close();
}

TEST(TcpSocket, TimedReceiveTellsTimeoutFromClose) {
    NetLogCapture log;
    LoopbackPair pair;
    ASSERT_TRUE(pair.connected());
    std::uint8_t buffer[4] = {};

    std::uint32_t timeout = 100;
    EXPECT_FALSE(pair.server().receive(buffer, 4, timeout));
    EXPECT_EQ(timeout, 0u);
    EXPECT_EQ(log.count("WARN Timeout in receive"), 1u);

    ASSERT_TRUE(sendHex(pair.client(), "0A 0B"));
    timeout = 5000;
    EXPECT_TRUE(pair.server().receive(buffer, 2, timeout));
    EXPECT_GT(timeout, 0u);
    EXPECT_LE(timeout, 5000u);

    ASSERT_TRUE(sendHex(pair.client(), "0C"));
    timeout = 0;
    EXPECT_TRUE(pair.server().receive(buffer, 1, timeout));
    EXPECT_EQ(timeout, 0u);
    EXPECT_EQ(testing_support::hex(buffer, 2), "0C 0B");

    ASSERT_TRUE(sendHex(pair.client(), "01 02"));
    pair.closeClient();
    timeout = 5000;
    EXPECT_FALSE(pair.server().receive(buffer, 4, timeout));
    EXPECT_NE(timeout, 0u);
    EXPECT_EQ(log.count("ERROR The socket was closed during receive"), 1u);
    EXPECT_EQ(log.count("WARN Timeout in receive"), 1u);
}

// A peer that goes away with bytes still unread resets the connection: that is a receive error,
// not a close, and the remaining time stays above 0 so that callers do not take it for a
// time-out.
TEST(TcpSocket, TimedReceiveReportsAResetAsAnError) {
    NetLogCapture log;
    LoopbackPair pair;
    ASSERT_TRUE(pair.connected());
    ASSERT_TRUE(sendHex(pair.server(), "01 02"));
    ASSERT_EQ(receiveHex(pair.client(), 1), "01");
    pair.closeClient();

    std::uint8_t buffer[1] = {};
    std::uint32_t timeout = 5000;
    EXPECT_FALSE(pair.server().receive(buffer, 1, timeout));
    EXPECT_NE(timeout, 0u);
    EXPECT_EQ(log.lines(), std::vector<std::string>{"ERROR Error receiving data"});
}

TEST(TcpSocket, BlockingReceiveFailsWhenThePeerClosesEarly) {
    LoopbackPair pair;
    ASSERT_TRUE(pair.connected());
    ASSERT_TRUE(sendHex(pair.client(), "01 02"));
    pair.closeClient();
    std::uint8_t buffer[4] = {};
    EXPECT_FALSE(pair.server().receive(buffer, sizeof buffer));
    EXPECT_TRUE(pair.server().receive(buffer, 0));
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
            sendHex(pair.client(), "55");
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        pair.closeClient();
    });
    std::vector<std::uint8_t> buffer(1 << 20);
    std::uint32_t timeout = 200;
    EXPECT_FALSE(pair.server().receive(buffer.data(), buffer.size(), timeout));
    stop = true;
    peer.join();
    EXPECT_EQ(timeout, 0u);
    EXPECT_EQ(log.count("WARN Timeout in receive"), 1u);
    EXPECT_EQ(log.count("ERROR The socket was closed during receive"), 0u);
}

// Without protection a send to a closed connection raises SIGPIPE and ends the test program.
TEST(TcpSocket, SendToAClosedPeerFailsWithoutKillingTheProcess) {
    LoopbackPair pair;
    ASSERT_TRUE(pair.connected());
    pair.closeServer();
    const std::vector<std::uint8_t> block(4096, 0x11);
    std::size_t sent = block.size();
    for (int attempt = 0; attempt < 400 && sent == block.size(); ++attempt) {
        sent = pair.client().send(block.data(), block.size());
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_LT(sent, block.size());

    pair.closeClient();
    EXPECT_EQ(pair.client().send(block.data(), block.size()), 0u);
}
