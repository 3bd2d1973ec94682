#include "fuzz/support/FuzzLog.hpp"

#include <string>

#include "logcraft/sink.hpp"

namespace fuzzing {

namespace {

// Receives the formatted entry and forgets it.
class DroppingSink : public logcraft::Sink {
protected:
    void logEntry(const std::string&) const override {}
};

} // namespace

// The default format starts with the level's name: "ERROR - message".
class LevelTally::CountingSink : public logcraft::Sink {
public:
    mutable unsigned errors = 0;

protected:
    void logEntry(const std::string& text) const override {
        if (text.starts_with("ERROR") || text.starts_with("FATAL")) {
            ++errors;
        }
    }
};

void logEverythingQuietly() {
    static const bool installed = [] {
        logcraft::Logger::initialize();
        const auto root = logcraft::Logger::getRootLogger();
        root->addSink(std::make_shared<DroppingSink>());
        root->setLevel(logcraft::LogLevel::INFO);
        return true;
    }();
    (void)installed;
}

LevelTally::LevelTally(logcraft::LogPtr logger)
    : m_logger(std::move(logger)), m_sink(std::make_shared<CountingSink>()) {
    m_sink->setLevel(logcraft::LogLevel::ERR);
    m_logger->addSink(m_sink);
}

LevelTally::~LevelTally() {
    m_logger->removeSink(m_sink);
}

unsigned LevelTally::errors() const {
    return m_sink->errors;
}

} // namespace fuzzing
