#include "common/Network.hpp"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdint>

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include "common/Logging.hpp"

namespace {

using Clock = SocketClock;

Clock::time_point deadlineAfter(Clock::time_point now, std::uint32_t milliseconds) {
    return now + std::chrono::milliseconds(milliseconds);
}

// Whole milliseconds from `now` until the deadline, rounded up so that any time still left
// counts as at least 1; 0 or less once it has passed.
std::int64_t millisecondsLeft(Clock::time_point deadline, Clock::time_point now) {
    return std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count();
}

// Switches a socket between blocking and non-blocking mode.
bool setBlocking(SOCKET sock, bool blocking) {
    const int flags = ::fcntl(sock, F_GETFL);
    if (flags < 0) {
        return false;
    }
    const int wanted = blocking ? (flags & ~O_NONBLOCK) : (flags | O_NONBLOCK);
    return ::fcntl(sock, F_SETFL, wanted) == 0;
}

// Small messages go out at once instead of waiting for the acknowledgement of the previous
// one; a failure only costs latency.
void sendImmediately(SOCKET sock) {
    const int on = 1;
    ::setsockopt(sock, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

// A connect interrupted by a signal goes on in the background: wait for its outcome instead of
// starting it again.
bool connectSocket(SOCKET sock, const sockaddr* address, socklen_t length) {
    if (::connect(sock, address, length) == 0) {
        return true;
    }
    if (errno != EINTR) {
        return false;
    }
    pollfd entry{sock, POLLOUT, 0};
    int ready = 0;
    do {
        ready = ::poll(&entry, 1, -1);
    } while (ready < 0 && errno == EINTR);
    int error = 0;
    socklen_t size = sizeof error;
    return ready > 0 && ::getsockopt(sock, SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error == 0;
}

// One poll for readability, resumed after signals and after early wake-ups, and repeated in
// slices when the limit exceeds what poll takes at once. Returns poll's result; a handle that
// is not open counts as an error (poll would silently ignore it).
int pollReadable(SOCKET sock, std::uint32_t timeout) {
    if (sock == INVALID_SOCKET) {
        errno = EBADF;
        return -1;
    }
    const auto deadline = deadlineAfter(Clock::now(), timeout);
    pollfd entry{sock, POLLIN, 0};
    while (true) {
        const std::int64_t left = millisecondsLeft(deadline, Clock::now());
        const int slice =
            timeout == 0 ? -1 : static_cast<int>(std::clamp<std::int64_t>(left, 0, INT_MAX));
        const int ready = ::poll(&entry, 1, slice);
        if (ready > 0 && (entry.revents & POLLNVAL) != 0) {
            errno = EBADF;
            return -1;
        }
        const bool interrupted = ready < 0 && errno == EINTR;
        const bool early = ready == 0 && millisecondsLeft(deadline, Clock::now()) > 0;
        if (!interrupted && !early) {
            return ready;
        }
    }
}

// Whether data waits to be read, without waiting for it. A process that was not scheduled
// until after its deadline still takes the bytes that arrived in time.
bool readableNow(SOCKET sock) {
    pollfd entry{sock, POLLIN, 0};
    int ready = 0;
    do {
        ready = ::poll(&entry, 1, 0);
    } while (ready < 0 && errno == EINTR);
    return ready > 0 && (entry.revents & POLLNVAL) == 0;
}

} // namespace

TcpSocket::TcpSocket() : m_sock(INVALID_SOCKET) {}

TcpSocket::TcpSocket(SOCKET socketid) : m_sock(socketid) {}

bool TcpSocket::alive() const {
    sockaddr_storage peer{};
    socklen_t size = sizeof peer;
    return ::getpeername(m_sock, reinterpret_cast<sockaddr*>(&peer), &size) == 0;
}

void TcpSocket::close() {
    if (m_sock != INVALID_SOCKET) {
        ::close(m_sock);
    }
    m_sock = INVALID_SOCKET;
}

// MSG_NOSIGNAL turns a send to a closed connection into an error instead of SIGPIPE.
std::size_t TcpSocket::send(const void* msg, std::size_t length) const {
    const auto* bytes = static_cast<const char*>(msg);
    std::size_t total = 0;
    while (total < length) {
        const ssize_t count = ::send(m_sock, bytes + total, length - total, MSG_NOSIGNAL);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            break;
        }
        total += static_cast<std::size_t>(count);
    }
    return total;
}

bool TcpSocket::setSendLimit(std::uint32_t timeout) const {
    timeval limit{};
    limit.tv_sec = static_cast<time_t>(timeout / 1000);
    limit.tv_usec = static_cast<suseconds_t>(timeout % 1000 * 1000);
    return m_sock != INVALID_SOCKET &&
           ::setsockopt(m_sock, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit) == 0;
}

// MSG_WAITALL may still hand back part of the bytes when a signal arrives, so the call is
// repeated for the rest; a closed connection then reports 0 and ends the loop.
bool TcpSocket::receive(void* msg, std::size_t length) const {
    auto* bytes = static_cast<char*>(msg);
    std::size_t received = 0;
    while (received < length) {
        const ssize_t count = ::recv(m_sock, bytes + received, length - received, MSG_WAITALL);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            return false;
        }
        received += static_cast<std::size_t>(count);
    }
    return true;
}

// The limit runs from the start of the call, so a peer that trickles single bytes cannot
// stretch it.
bool TcpSocket::receive(void* msg, std::size_t length, std::uint32_t& timeout) const {
    if (timeout == 0) {
        return receive(msg, length);
    }
    return receiveBy(msg, length, deadlineAfter(m_now(), timeout), timeout);
}

// A deadline of now leaves no time to wait, only to take what is there.
bool TcpSocket::receiveWaiting(void* msg, std::size_t length, std::uint32_t& timeout) const {
    return receiveBy(msg, length, m_now(), timeout);
}

// The time left is written back after every pass, at least 1 so that an error ending the call
// is never taken for a time-out, which lets callers share one budget across several receives.
bool TcpSocket::receiveBy(void* msg, std::size_t length, Clock::time_point deadline,
                          std::uint32_t& timeout) const {
    auto* bytes = static_cast<char*>(msg);
    std::size_t received = 0;
    while (received < length) {
        const std::int64_t left = millisecondsLeft(deadline, m_now());
        if (left > 0 ? !wait(static_cast<std::uint32_t>(left)) : !readableNow(m_sock)) {
            LOG(loggerNetwork, WARN) << "Timeout in receive";
            timeout = 0;
            return false;
        }
        timeout = static_cast<std::uint32_t>(std::max<std::int64_t>(left, 1));
        const ssize_t count = ::recv(m_sock, bytes + received, length - received, 0);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count < 0) {
            LOG(loggerNetwork, ERR) << "Error receiving data";
            return false;
        }
        if (count == 0) {
            LOG(loggerNetwork, ERR) << "The socket was closed during receive";
            return false;
        }
        received += static_cast<std::size_t>(count);
    }
    timeout =
        static_cast<std::uint32_t>(std::max<std::int64_t>(millisecondsLeft(deadline, m_now()), 0));
    return true;
}

// The error number is taken before the log statement, whose own work could change it.
bool TcpSocket::wait(std::uint32_t timeout) const {
    const int ready = pollReadable(m_sock, timeout);
    const int error = errno;
    if (ready == 0) {
        LOG(loggerNetwork, DEBUG) << "Timeout on select";
    } else if (ready < 0) {
        LOG(loggerNetwork, DEBUG) << "Error on select: " << error;
    }
    return ready > 0;
}

bool TcpSocket::peerGone() const {
    pollfd entry{m_sock, POLLIN, 0};
    if (m_sock == INVALID_SOCKET || ::poll(&entry, 1, 0) < 0) {
        return true;
    }
    if ((entry.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0) {
        return true;
    }
    if ((entry.revents & POLLIN) == 0) {
        return false;
    }
    char byte = 0;
    const auto peeked = ::recv(m_sock, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
    return peeked == 0 || (peeked < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR);
}

void TcpSocket::shutdownBoth() const {
    if (m_sock != INVALID_SOCKET) {
        ::shutdown(m_sock, SHUT_RDWR);
    }
}

bool TcpSocket::initialize() {
    return true;
}

bool TcpSocket::deinitialize() {
    return true;
}

// Tries every resolved address in the resolver's order of preference.
bool TcpClient::connect_to(std::string address, std::uint16_t port) {
    if (m_sock != INVALID_SOCKET) {
        LOG(loggerNetwork, ERR) << "Connect failed, socket already open";
        return false;
    }
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* results = nullptr;
    if (::getaddrinfo(address.c_str(), std::to_string(port).c_str(), &hints, &results) != 0) {
        LOG(loggerNetwork, ERR) << "Unable to resolve address " << address << " (port " << port
                                << ")";
        return false;
    }
    for (const addrinfo* entry = results; entry != nullptr; entry = entry->ai_next) {
        const SOCKET sock =
            ::socket(entry->ai_family, entry->ai_socktype | SOCK_CLOEXEC, entry->ai_protocol);
        if (sock == INVALID_SOCKET) {
            continue;
        }
        if (connectSocket(sock, entry->ai_addr, entry->ai_addrlen)) {
            sendImmediately(sock);
            m_sock = sock;
            break;
        }
        ::close(sock);
    }
    ::freeaddrinfo(results);
    if (m_sock == INVALID_SOCKET) {
        LOG(loggerNetwork, ERR) << "Connect failed";
        return false;
    }
    return true;
}

// One IPv6 socket with IPV6_V6ONLY off serves IPv4 clients as well (as mapped addresses).
// The socket is non-blocking so that an accept after a vanished connection cannot hang.
bool TcpServer::open_port(std::uint16_t port, int backlog) {
    if (m_sock != INVALID_SOCKET) {
        LOG(loggerNetwork, ERR) << "Listen failed, socket already open";
        return false;
    }
    m_sock = ::socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_sock == INVALID_SOCKET) {
        return false;
    }
    const int off = 0;
    const int on = 1;
    ::setsockopt(m_sock, IPPROTO_IPV6, IPV6_V6ONLY, &off, sizeof off);
    ::setsockopt(m_sock, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in6 local{};
    local.sin6_family = AF_INET6;
    local.sin6_port = htons(port);
    local.sin6_addr = in6addr_any;
    if (::bind(m_sock, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        LOG(loggerNetwork, ERR) << "Failed to bind socket";
        close();
        return false;
    }
    if (::listen(m_sock, backlog) != 0 || !setBlocking(m_sock, false)) {
        LOG(loggerNetwork, ERR) << "Failed to listen on socket";
        close();
        return false;
    }
    return true;
}

// Accepted sockets are made blocking explicitly: some systems pass the listening socket's
// non-blocking mode on to them.
TcpSocket* TcpServer::accept(std::uint32_t timeout) const {
    if (!wait(timeout)) {
        LOG(loggerNetwork, ERR) << "Timeout on accept";
        return nullptr;
    }
    sockaddr_in6 peer{};
    socklen_t size = sizeof peer;
    SOCKET sock = INVALID_SOCKET;
    do {
        sock = ::accept4(m_sock, reinterpret_cast<sockaddr*>(&peer), &size, SOCK_CLOEXEC);
    } while (sock == INVALID_SOCKET && errno == EINTR);
    if (sock != INVALID_SOCKET && !setBlocking(sock, true)) {
        ::close(sock);
        sock = INVALID_SOCKET;
    }
    if (sock == INVALID_SOCKET) {
        LOG(loggerNetwork, ERR) << "Error on accept";
        return nullptr;
    }
    sendImmediately(sock);
    auto* connection = new TcpSocket(sock);
    if (!connection->alive()) {
        LOG(loggerNetwork, WARN) << "Socket was accepted but not alive";
        connection->close();
        delete connection;
        return nullptr;
    }
    return connection;
}

std::uint16_t TcpServer::getPort() const {
    sockaddr_storage local{};
    socklen_t size = sizeof local;
    if (::getsockname(m_sock, reinterpret_cast<sockaddr*>(&local), &size) != 0 ||
        local.ss_family != AF_INET6) {
        return 0;
    }
    return ntohs(reinterpret_cast<const sockaddr_in6*>(&local)->sin6_port);
}
