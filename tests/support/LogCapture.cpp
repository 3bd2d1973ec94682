#include "LogCapture.hpp"

#include <algorithm>
#include <mutex>

namespace testing_support {

// Keeps each entry of the default form "LEVEL - message\n" as "LEVEL message".
class LogCapture::CollectingSink : public logcraft::Sink {
public:
    void logEntry(const std::string& text) const override {
        const std::size_t dash = text.find(" - ");
        std::lock_guard<std::mutex> lock(mutex);
        lines.push_back(text.substr(0, dash) + ' ' + text.substr(dash + 3, text.size() - dash - 4));
    }

    mutable std::mutex mutex;
    mutable std::vector<std::string> lines;
};

LogCapture::LogCapture(logcraft::LogPtr logger, logcraft::LogLevel level)
    : m_logger(std::move(logger)), m_sink(std::make_shared<CollectingSink>()) {
    m_logger->addSink(m_sink);
    m_logger->setLevel(level);
}

LogCapture::~LogCapture() {
    m_logger->removeSink(m_sink);
    m_logger->setLevel(logcraft::LogLevel::INHERIT);
}

std::vector<std::string> LogCapture::lines() const {
    std::lock_guard<std::mutex> lock(m_sink->mutex);
    return m_sink->lines;
}

std::size_t LogCapture::count(const std::string& line) const {
    const auto all = lines();
    return static_cast<std::size_t>(std::count(all.begin(), all.end(), line));
}

void LogCapture::clear() {
    std::lock_guard<std::mutex> lock(m_sink->mutex);
    m_sink->lines.clear();
}

} // namespace testing_support
