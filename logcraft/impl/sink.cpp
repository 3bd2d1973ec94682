#include "logcraft/sink.hpp"

namespace logcraft {

Sink::Sink() : formatter(std::make_shared<Formatter>()) {}

void Sink::log(const EntryContext& context, const std::string& message) const {
    if (context.level < level) {
        return;
    }
    logEntry(formatter->format(context, message));
}

SinkPtr StreamSink::create(std::ostream& target) {
    return std::make_shared<StreamSink>(target);
}

void StreamSink::logEntry(const std::string& text) const {
    os << text;
    os.flush();
}

} // namespace logcraft
