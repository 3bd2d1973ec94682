// Sinks receive the entries that pass their own level and write them formatted.
#pragma once

#include <ostream>
#include <string>

#include "logcraft/formatter.hpp"

namespace logcraft {

class Sink {
public:
    Sink();
    virtual ~Sink() = default;

    LogLevel getLevel() const { return level; }
    void setLevel(LogLevel l) { level = l; }
    FormatterPtr getFormatter() const { return formatter; }
    void setFormatter(FormatterPtr f) { formatter = std::move(f); }

    // Formats and writes the entry when its level is at least the sink's level.
    void log(const EntryContext& context, const std::string& message) const;

protected:
    virtual void logEntry(const std::string& text) const = 0;

private:
    LogLevel level = LogLevel::TRACE;
    FormatterPtr formatter;
};

// Writes into the buffer of an existing stream, with formatting state of its own.
class StreamSink : public Sink {
public:
    explicit StreamSink(std::ostream& target) : os(target.rdbuf()) {}
    static SinkPtr create(std::ostream& target);

protected:
    void logEntry(const std::string& text) const override;

private:
    mutable std::ostream os;
};

} // namespace logcraft
