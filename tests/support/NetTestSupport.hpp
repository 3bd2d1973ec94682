// Helpers for tests over real sockets: a log collector for "reversi.network", a connected pair
// of sockets on 127.0.0.1, and hexadecimal text of raw bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "LogCapture.hpp"
#include "common/Logging.hpp"
#include "common/Network.hpp"

namespace testing_support {

// The network logger's entries down to DEBUG, as "LEVEL message".
struct NetLogCapture : LogCapture {
    NetLogCapture() : LogCapture(loggerNetwork, logcraft::LogLevel::DEBUG) {}
};

// A socket clock for a process that never runs in time: every reading is an hour after the
// last, so any deadline has passed when it is next looked at.
SocketNow alwaysLate();

// A socket closes itself when deleted.
using SocketPtr = std::unique_ptr<TcpSocket>;

// Both ends of one TCP connection over 127.0.0.1, made by a real listening server on a port
// the system picks. The ends are null when the set-up failed.
struct LoopbackPair {
    LoopbackPair();
    bool connected() const { return client && server; }

    SocketPtr client;
    SocketPtr server;
};

// "05 00 00 00 05" for the bytes 5, 0, 0, 0, 5.
std::string hex(const std::uint8_t* bytes, std::size_t length);

// Receives exactly `length` bytes within two seconds and writes them as hex().
std::string receiveHex(TcpSocket& socket, std::size_t length);

// Sends bytes given as hex() text; true when all went out.
bool sendHex(TcpSocket& socket, const std::string& text);

} // namespace testing_support
