// Log levels and the context that travels with every log entry.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <ostream>

namespace logcraft {

// Severity of an entry; a level L is enabled on a logger whose effective level is <= L.
// INHERIT means "take the parent's level".
enum class LogLevel : std::uint32_t {
    TRACE = 0,
    DEBUG = 1,
    INFO = 2,
    WARN = 3,
    ERR = 4,
    FATAL = 5,
    OFF = 6,
    INHERIT = 7,
    DEFAULT = WARN,
    ALL = TRACE,
};

// Writes the level's name; values without a name of their own write "???".
std::ostream& operator<<(std::ostream& os, LogLevel level);

class Logger;
class Sink;
class Formatter;
using LogPtr = std::shared_ptr<Logger>;
using SinkPtr = std::shared_ptr<Sink>;
using FormatterPtr = std::shared_ptr<Formatter>;

// Where and when a log statement was made, and which logger accepted it at which level.
struct EntryContext {
    const char* filename = "";
    std::uint64_t line = 0;
    const char* funcname = "";
    std::chrono::system_clock::time_point timestamp{};
    const Logger* logger = nullptr;
    LogLevel level = LogLevel::OFF;

    EntryContext() = default;
    EntryContext(const char* file, std::uint64_t line, const char* function)
        : filename(file), line(line), funcname(function),
          timestamp(std::chrono::system_clock::now()) {}
};

} // namespace logcraft
