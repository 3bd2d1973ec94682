// Logging during fuzzing: every logger runs at INFO, so that the messages a user sees are built
// and formatted (their code is under test too), but nothing is printed; a tally tells a target
// whether one logger reported errors. DEBUG and TRACE stay off: their board pictures would cost
// more than the rest of an execution.
#pragma once

#include <memory>

#include "logcraft/logger.hpp"

namespace fuzzing {

// Sets the root logger to INFO with a sink that formats and drops every entry. Idempotent.
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
