// Collects what one logger accepts as "LEVEL message" lines, so tests compare log output as
// text, level included.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "logcraft/logger.hpp"

namespace testing_support {

// While it lives, the logger runs at `level` and every entry it accepts is kept; afterwards
// the sink is gone and the logger inherits its level again. Safe to use from a peer thread.
class LogCapture {
public:
    explicit LogCapture(logcraft::LogPtr logger,
                        logcraft::LogLevel level = logcraft::LogLevel::TRACE);
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;
    ~LogCapture();

    std::vector<std::string> lines() const;
    std::size_t count(const std::string& line) const;
    bool contains(const std::string& line) const { return count(line) > 0; }
    void clear();

private:
    class CollectingSink;
    logcraft::LogPtr m_logger;
    std::shared_ptr<CollectingSink> m_sink;
};

} // namespace testing_support
