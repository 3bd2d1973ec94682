// A thin object layer over the system's stream sockets: exact-length receive (with and without
// a time limit), complete send, a readiness wait, connecting to a server and listening for
// clients. Every failure is a false or null result; nothing here throws or raises a signal.
// All time limits are unsigned 32-bit counts of milliseconds, 0 meaning "no limit".
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>

// The system's socket handle: a file descriptor here.
using SOCKET = int;
constexpr SOCKET INVALID_SOCKET = -1;
constexpr int SOCKET_ERROR = -1;

// Where a timed receive reads the time: SocketClock::now, or in tests a clock of their own.
using SocketClock = std::chrono::steady_clock;
using SocketNow = std::function<SocketClock::time_point()>;

// One socket handle, owned: close() releases it at most once, and the destructor releases a
// handle the owner left open, so no descriptor leaks on an early return.
class TcpSocket {
public:
    TcpSocket();
    explicit TcpSocket(SOCKET socketid);
    TcpSocket(const TcpSocket&) = delete;
    TcpSocket& operator=(const TcpSocket&) = delete;
    virtual ~TcpSocket() { close(); }

    // True while the socket has a connected peer.
    bool alive() const;
    // Releases the handle if there is one; safe to call repeatedly.
    void close();
    // Without waiting: true when the peer has closed the connection or it failed, false while
    // it is open (bytes the peer sent stay unread).
    bool peerGone() const;
    // Ends both directions while keeping the handle, so that a receive blocked in another
    // thread returns at once with a failure.
    void shutdownBoth() const;
    // Sends all bytes; returns how many went out (less than length only after an error, or
    // when the send limit ran out).
    std::size_t send(const void* msg, std::size_t length) const;
    // Makes a send give up when the connection takes no bytes for `timeout` milliseconds (a
    // peer that stopped reading, its buffers full); 0 waits without limit. False when the
    // system refuses the setting.
    bool setSendLimit(std::uint32_t timeout) const;
    // Blocks until exactly length bytes have arrived; false on error or when the peer closes.
    bool receive(void* msg, std::size_t length) const;
    // As above within `timeout` milliseconds counted from the start of the call. On return
    // `timeout` holds the time left: 0 after a time-out, at least 1 after an error, and after
    // success what remains (0 if the time ran out as the last byte came). A timeout of 0 on
    // entry means no limit.
    bool receive(void* msg, std::size_t length, std::uint32_t& timeout) const;
    // Takes exactly length bytes as far as they are already waiting, without waiting for any:
    // the receive of a caller whose time is spent. `timeout` is written as above: 0 when bytes
    // are missing, at least 1 after an error.
    bool receiveWaiting(void* msg, std::size_t length, std::uint32_t& timeout) const;
    // Replaces the clock of the timed receives.
    void setClock(SocketNow now) { m_now = std::move(now); }

    // Process-wide start and end of the socket library: nothing to do on this system.
    static bool initialize();
    static bool deinitialize();

protected:
    // True when the socket turns readable (data, a pending connection or the peer's close)
    // within `timeout` milliseconds; 0 waits without limit.
    bool wait(std::uint32_t timeout) const;

    SOCKET m_sock;

private:
    // The timed receive towards a deadline that may already have passed.
    bool receiveBy(void* msg, std::size_t length, SocketClock::time_point deadline,
                   std::uint32_t& timeout) const;

    SocketNow m_now = SocketClock::now;
};

// The connecting end of a connection.
class TcpClient : public TcpSocket {
public:
    TcpClient() = default;

    // Resolves the host name or numeric address (IPv4 or IPv6) and connects to the first
    // address that accepts.
    bool connect_to(std::string address, std::uint16_t port);
};

// A listening socket on all local IPv4 and IPv6 addresses.
class TcpServer : public TcpSocket {
public:
    TcpServer() = default;

    // The queue of connections not yet accepted, for a server that accepts one game's players.
    static constexpr int DefaultBacklog = 10;

    // Listens at `port`; port 0 lets the system choose a free one (see getPort()). Up to
    // `backlog` connections wait for their acceptance; beyond that the system drops new ones,
    // which then retry only after a second or more.
    bool open_port(std::uint16_t port, int backlog = DefaultBacklog);
    // Waits up to `timeout` milliseconds (0 = without limit) for a connection; returns a new
    // blocking socket owned by the caller, or null on time-out or error.
    TcpSocket* accept(std::uint32_t timeout) const;
    // True when a connection is waiting within `timeout` milliseconds (0 = without limit);
    // unlike accept, a time-out here is no error and logs nothing.
    bool pending(std::uint32_t timeout) const { return wait(timeout); }
    // The port the listening socket is bound to, 0 when there is none.
    std::uint16_t getPort() const;
};
