// Hierarchical named loggers. A logger has a level (possibly inherited from its parent), its
// own sinks, and passes every accepted entry on to its ancestors' sinks while it is additive.
#pragma once

#include <list>
#include <map>
#include <sstream>
#include <string>

#include "logcraft/level.hpp"
#include "logcraft/sink.hpp"

namespace logcraft {

class LogStream;

// One node of the logger tree. The level test is made once, where the statement was written;
// after that the entry only passes through sinks, its own and (while additive) its ancestors'.
class Logger {
public:
    Logger(LogPtr parent, std::string name);

    static void initialize();
    static void deinitialize();
    static LogPtr getRootLogger();
    // The logger of that dotted name, created together with its missing ancestors.
    static LogPtr getLogger(const std::string& name);
    static LogPtr getLogger(LogPtr logger) { return logger; }

    // Setting INHERIT on the root is ignored.
    void setLevel(LogLevel l);
    // The own level, or the nearest ancestor's level where it is INHERIT.
    LogLevel getLevel() const;
    bool isEnabled(LogLevel l) const { return getLevel() <= l; }
    const std::string& getName() const { return name; }
    bool getAdditive() const { return additive; }
    void setAdditive(bool a) { additive = a; }
    void addSink(SinkPtr sink);
    void removeSink(const SinkPtr& sink);

    void log(LogLevel l, const std::string& message, EntryContext context) const;
    void trace(const std::string& m, EntryContext c) const { log(LogLevel::TRACE, m, c); }
    void debug(const std::string& m, EntryContext c) const { log(LogLevel::DEBUG, m, c); }
    void info(const std::string& m, EntryContext c) const { log(LogLevel::INFO, m, c); }
    void warn(const std::string& m, EntryContext c) const { log(LogLevel::WARN, m, c); }
    void error(const std::string& m, EntryContext c) const { log(LogLevel::ERR, m, c); }
    void fatal(const std::string& m, EntryContext c) const { log(LogLevel::FATAL, m, c); }

    // A stream for the level when it is enabled, otherwise a stream that discards everything.
    LogStream log(LogLevel l, EntryContext context) const;
    LogStream trace(EntryContext c) const;
    LogStream debug(EntryContext c) const;
    LogStream info(EntryContext c) const;
    LogStream warn(EntryContext c) const;
    LogStream error(EntryContext c) const;
    LogStream fatal(EntryContext c) const;

    // Hands the entry to the own sinks, then to the parent's while additive.
    void logEntry(const EntryContext& context, const std::string& message) const;

private:
    LogPtr parent;
    std::string name;
    LogLevel level;
    std::list<SinkPtr> sinks;
    bool additive = true;
};

namespace detail {
std::map<std::string, LogPtr>& GetLoggers();
std::chrono::system_clock::time_point GetStartTime();
} // namespace detail

// Collects one message and emits it to its logger when the statement ends.
class LogStream {
public:
    LogStream(const Logger& logger, LogLevel level, EntryContext context)
        : logger(logger), level(level), context(context) {}
    LogStream(const LogStream&) = delete;
    LogStream& operator=(const LogStream&) = delete;
    // The moved-from stream is silenced, so the entry is emitted exactly once.
    LogStream(LogStream&& other) noexcept;
    ~LogStream();

    template <typename T>
    const LogStream& operator<<(const T& value) const {
        if (level != LogLevel::OFF) {
            stream << value;
        }
        return *this;
    }

private:
    const Logger& logger;
    LogLevel level;
    EntryContext context;
    mutable std::ostringstream stream;
};

} // namespace logcraft
