#include "NetTestSupport.hpp"

#include <chrono>
#include <iomanip>
#include <sstream>

namespace testing_support {

SocketNow alwaysLate() {
    return [now = SocketClock::now()]() mutable { return now += std::chrono::hours(1); };
}

LoopbackPair::LoopbackPair() {
    TcpServer listener;
    auto connecting = std::make_unique<TcpClient>();
    if (listener.open_port(0) && connecting->connect_to("127.0.0.1", listener.getPort())) {
        client.reset(connecting.release());
        server.reset(listener.accept(5000));
    }
    listener.close();
}

std::string hex(const std::uint8_t* bytes, std::size_t length) {
    std::ostringstream os;
    os << std::hex << std::uppercase << std::setfill('0');
    for (std::size_t i = 0; i < length; ++i) {
        os << (i == 0 ? "" : " ") << std::setw(2) << static_cast<unsigned>(bytes[i]);
    }
    return os.str();
}

std::string receiveHex(TcpSocket& socket, std::size_t length) {
    std::vector<std::uint8_t> buffer(length);
    std::uint32_t timeout = 2000;
    return socket.receive(buffer.data(), length, timeout) ? hex(buffer.data(), length)
                                                          : "<receive failed>";
}

bool sendHex(TcpSocket& socket, const std::string& text) {
    std::istringstream is(text);
    std::vector<std::uint8_t> bytes;
    unsigned value = 0;
    while (is >> std::hex >> value) {
        bytes.push_back(static_cast<std::uint8_t>(value));
    }
    return socket.send(bytes.data(), bytes.size()) == bytes.size();
}

} // namespace testing_support
