// Logging during fuzzing: every logger runs at its most detailed level, so that each message
// is built and formatted (its code is under test too), but nothing is printed; a tally tells a
// target which levels one logger used.
#pragma once

#include <memory>

#include "logcraft/logger.hpp"

namespace fuzzing {

// Sets the root logger to TRACE with a sink that formats and drops every entry. Idempotent.
void logEverythingQuietly();

// While it lives, counts the entries of one logger at WARN and above.
class LevelTally {
public:
    explicit LevelTally(logcraft::LogPtr logger);
    LevelTally(const LevelTally&) = delete;
    LevelTally& operator=(const LevelTally&) = delete;
    ~LevelTally();

    // Entries at ERR or FATAL.
    unsigned errors() const;

private:
    class CountingSink;
    logcraft::LogPtr m_logger;
    std::shared_ptr<CountingSink> m_sink;
};

} // namespace fuzzing
