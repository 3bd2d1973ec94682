#include "fuzz/support/ScriptedPeer.hpp"

#include <sys/socket.h>
#include <unistd.h>

#include "fuzz/support/FuzzCheck.hpp"

namespace fuzzing {

ScriptedPeer::ScriptedPeer() {
    int fds[2] = {-1, -1};
    FUZZ_CHECK(::socketpair(AF_UNIX, SOCK_STREAM, 0, fds) == 0);
    const int buffer = 1 << 20;
    ::setsockopt(fds[0], SOL_SOCKET, SO_SNDBUF, &buffer, sizeof buffer);
    ::setsockopt(fds[1], SOL_SOCKET, SO_SNDBUF, &buffer, sizeof buffer);
    m_fd = fds[0];
    m_end = std::make_unique<TcpSocket>(fds[1]);
}

ScriptedPeer::~ScriptedPeer() {
    close();
}

void ScriptedPeer::close() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
    m_fd = -1;
}

std::unique_ptr<TcpSocket> ScriptedPeer::takeEnd() {
    return std::move(m_end);
}

void ScriptedPeer::write(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t sent = ::send(m_fd, bytes.data(), bytes.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
        if (sent <= 0) {
            return;
        }
        bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
}

void ScriptedPeer::endStream() {
    ::shutdown(m_fd, SHUT_WR);
}

std::string ScriptedPeer::readAvailable() {
    std::string bytes;
    char buffer[4096];
    while (true) {
        const ssize_t count = ::recv(m_fd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (count <= 0) {
            return bytes;
        }
        bytes.append(buffer, static_cast<std::size_t>(count));
    }
}

} // namespace fuzzing
