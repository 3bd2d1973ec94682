#include "NetTestSupport.hpp"

#include <algorithm>
#include <iomanip>
#include <sstream>
#include <utility>

namespace testing_support {

// A formatter that keeps only level and message, so tests compare the text that matters.
class LevelMessageFormatter : public logcraft::Formatter {
public:
    std::string format(const logcraft::EntryContext& context,
                       const std::string& message) const override {
        std::ostringstream os;
        os << context.level << ' ' << message;
        return os.str();
    }
};

class NetLogCapture::CollectingSink : public logcraft::Sink {
public:
    CollectingSink() { setFormatter(std::make_shared<LevelMessageFormatter>()); }

    std::vector<std::string> lines() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_lines;
    }
    void clear() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_lines.clear();
    }

protected:
    void logEntry(const std::string& text) const override {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_lines.push_back(text);
    }

private:
    mutable std::mutex m_mutex;
    mutable std::vector<std::string> m_lines;
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
    return m_sink->lines();
}

std::size_t NetLogCapture::count(const std::string& line) const {
    const auto all = lines();
    return static_cast<std::size_t>(std::count(all.begin(), all.end(), line));
}

void NetLogCapture::clear() {
    m_sink->clear();
}

LoopbackPair::LoopbackPair() {
    TcpServer listener;
    if (!listener.open_port(0)) {
        return;
    }
    auto* client = new TcpClient();
    if (client->connect_to("127.0.0.1", listener.getPort())) {
        m_client = client;
        m_server = listener.accept(5000);
    } else {
        delete client;
    }
    listener.close();
}

LoopbackPair::~LoopbackPair() {
    for (TcpSocket* end : {static_cast<TcpSocket*>(m_client), m_server}) {
        if (end != nullptr) {
            end->close();
            delete end;
        }
    }
}

TcpSocket* LoopbackPair::releaseClient() {
    return std::exchange(m_client, nullptr);
}

TcpSocket* LoopbackPair::releaseServer() {
    return std::exchange(m_server, nullptr);
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
    if (!socket.receive(buffer.data(), length, timeout)) {
        return "<receive failed>";
    }
    return hex(buffer.data(), length);
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
