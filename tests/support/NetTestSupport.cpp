#include "NetTestSupport.hpp"

#include <algorithm>
#include <iomanip>
#include <mutex>
#include <sstream>

namespace testing_support {

// Keeps only level and message of the default "LEVEL - message\n" text, so tests compare the
// text that matters.
class NetLogCapture::CollectingSink : public logcraft::Sink {
public:
    void logEntry(const std::string& text) const override {
        const std::size_t dash = text.find(" - ");
        std::lock_guard<std::mutex> lock(mutex);
        lines.push_back(text.substr(0, dash) + ' ' + text.substr(dash + 3, text.size() - dash - 4));
    }

    mutable std::mutex mutex;
    mutable std::vector<std::string> lines;
};

NetLogCapture::NetLogCapture() : m_sink(std::make_shared<CollectingSink>()) {
    loggerNetwork->addSink(m_sink);
    loggerNetwork->setLevel(logcraft::LogLevel::DEBUG);
}

NetLogCapture::~NetLogCapture() {
    loggerNetwork->removeSink(m_sink);
    loggerNetwork->setLevel(logcraft::LogLevel::INHERIT);
}

std::vector<std::string> NetLogCapture::lines() const {
    std::lock_guard<std::mutex> lock(m_sink->mutex);
    return m_sink->lines;
}

std::size_t NetLogCapture::count(const std::string& line) const {
    const auto all = lines();
    return static_cast<std::size_t>(std::count(all.begin(), all.end(), line));
}

void NetLogCapture::clear() {
    std::lock_guard<std::mutex> lock(m_sink->mutex);
    m_sink->lines.clear();
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
