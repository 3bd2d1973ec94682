#include "logcraft/logger.hpp"

namespace logcraft {

namespace detail {

std::map<std::string, LogPtr>& GetLoggers() {
    static std::map<std::string, LogPtr> loggers;
    return loggers;
}

std::chrono::system_clock::time_point GetStartTime() {
    static const auto start = std::chrono::system_clock::now();
    return start;
}

} // namespace detail

std::ostream& operator<<(std::ostream& os, LogLevel level) {
    switch (level) {
    case LogLevel::TRACE:
        return os << "TRACE";
    case LogLevel::DEBUG:
        return os << "DEBUG";
    case LogLevel::INFO:
        return os << "INFO";
    case LogLevel::WARN:
        return os << "WARN";
    case LogLevel::ERR:
        return os << "ERROR";
    case LogLevel::FATAL:
        return os << "FATAL";
    case LogLevel::OFF:
        return os << "OFF";
    default:
        return os << "???";
    }
}

Logger::Logger(LogPtr parent, std::string name)
    : parent(std::move(parent)), name(std::move(name)),
      level(this->parent ? LogLevel::INHERIT : LogLevel::DEFAULT) {}

void Logger::initialize() {
    getRootLogger();
    Formatter::initialize();
}

void Logger::deinitialize() {
    for (auto& [name, logger] : detail::GetLoggers()) {
        logger->sinks.clear();
    }
    getRootLogger()->sinks.clear();
}

LogPtr Logger::getRootLogger() {
    static const LogPtr root = std::make_shared<Logger>(nullptr, "");
    return root;
}

LogPtr Logger::getLogger(const std::string& name) {
    if (name.empty()) {
        return getRootLogger();
    }
    auto& registry = detail::GetLoggers();
    if (auto found = registry.find(name); found != registry.end()) {
        return found->second;
    }
    const auto dot = name.rfind('.');
    LogPtr parent = dot == std::string::npos ? getRootLogger() : getLogger(name.substr(0, dot));
    auto logger = std::make_shared<Logger>(parent, name);
    registry.emplace(name, logger);
    return logger;
}

void Logger::setLevel(LogLevel l) {
    if (l == LogLevel::INHERIT && !parent) {
        return;
    }
    level = l;
}

LogLevel Logger::getLevel() const {
    const Logger* logger = this;
    while (logger->level == LogLevel::INHERIT && logger->parent) {
        logger = logger->parent.get();
    }
    return logger->level;
}

void Logger::addSink(SinkPtr sink) {
    sinks.push_back(std::move(sink));
}

void Logger::removeSink(const SinkPtr& sink) {
    sinks.remove(sink);
}

void Logger::log(LogLevel l, const std::string& message, EntryContext context) const {
    if (!isEnabled(l)) {
        return;
    }
    context.level = l;
    context.logger = this;
    logEntry(context, message);
}

LogStream Logger::log(LogLevel l, EntryContext context) const {
    return LogStream(*this, isEnabled(l) ? l : LogLevel::OFF, context);
}

LogStream Logger::trace(EntryContext c) const {
    return log(LogLevel::TRACE, c);
}
LogStream Logger::debug(EntryContext c) const {
    return log(LogLevel::DEBUG, c);
}
LogStream Logger::info(EntryContext c) const {
    return log(LogLevel::INFO, c);
}
LogStream Logger::warn(EntryContext c) const {
    return log(LogLevel::WARN, c);
}
LogStream Logger::error(EntryContext c) const {
    return log(LogLevel::ERR, c);
}
LogStream Logger::fatal(EntryContext c) const {
    return log(LogLevel::FATAL, c);
}

void Logger::logEntry(const EntryContext& context, const std::string& message) const {
    for (const auto& sink : sinks) {
        sink->log(context, message);
    }
    if (additive && parent) {
        parent->logEntry(context, message);
    }
}

LogStream::LogStream(LogStream&& other) noexcept
    : logger(other.logger), level(other.level), context(other.context),
      stream(std::move(other.stream)) {
    other.level = LogLevel::OFF;
}

LogStream::~LogStream() {
    if (level == LogLevel::OFF) {
        return;
    }
    try {
        logger.log(level, stream.str(), context);
    } catch (...) {
        // A log line that cannot be written is dropped; the statement must not throw.
    }
}

} // namespace logcraft
