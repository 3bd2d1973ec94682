// The harness's end of a local connection whose other end the code under test holds as an
// ordinary TcpSocket. The harness writes everything the peer will ever say up front, so that
// no receive of the code under test waits for the harness: after the script comes either the
// end of the stream or, for a peer that goes silent, nothing at all.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "common/Network.hpp"

namespace fuzzing {

class ScriptedPeer {
public:
    // Creates the connected pair; failing that is fatal for the harness.
    ScriptedPeer();
    ScriptedPeer(const ScriptedPeer&) = delete;
    ScriptedPeer& operator=(const ScriptedPeer&) = delete;
    ~ScriptedPeer();

    // The other end, for the code under test; handed out once.
    std::unique_ptr<TcpSocket> takeEnd();
    // Queues bytes for the other end without blocking; what does not fit into the socket
    // buffer is dropped (targets limit their input so that it always fits).
    void write(std::string_view bytes);
    // The other end reads what was written, then the end of the stream; what it sends is
    // still accepted.
    void endStream();
    // Closes this end at once: the other end still reads what was written, but its sends fail.
    void close();
    // The bytes the other end has sent so far, without waiting.
    std::string readAvailable();

private:
    int m_fd = -1;
    std::unique_ptr<TcpSocket> m_end;
};

} // namespace fuzzing
