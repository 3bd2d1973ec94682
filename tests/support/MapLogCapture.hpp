// Collects what reaches a logger, so that tests compare log output as text.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "common/Logging.hpp"

namespace testing_support {

// A sink that keeps every formatted entry it receives.
struct CollectingSink : logcraft::Sink {
    mutable std::vector<std::string> entries;
    void logEntry(const std::string& text) const override { entries.push_back(text); }
};

// Keeps the bare messages of the map logger at the given level, without passing them on, while
// it lives; afterwards the logger inherits its level again.
class MapLogCapture {
public:
    explicit MapLogCapture(logcraft::LogLevel level = logcraft::LogLevel::INFO) {
        using namespace logcraft;
        m_sink->setFormatter(makeTemplateFormatter(FieldStr<Field::Message, 0, RIGHT, ' '>()));
        loggerMap->addSink(m_sink);
        loggerMap->setLevel(level);
        loggerMap->setAdditive(false);
    }
    ~MapLogCapture() {
        loggerMap->removeSink(m_sink);
        loggerMap->setLevel(logcraft::LogLevel::INHERIT);
        loggerMap->setAdditive(m_oldAdditive);
    }
    const std::vector<std::string>& messages() const { return m_sink->entries; }
    void clear() { m_sink->entries.clear(); }

private:
    std::shared_ptr<CollectingSink> m_sink = std::make_shared<CollectingSink>();
    bool m_oldAdditive = loggerMap->getAdditive();
};

} // namespace testing_support
