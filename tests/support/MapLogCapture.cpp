#include "MapLogCapture.hpp"

#include <algorithm>
#include <memory>

namespace testing_support {

namespace {

// A sink that keeps each formatted message; the formatter writes the bare message.
class CollectingSink : public logcraft::Sink {
public:
    CollectingSink() {
        using namespace logcraft;
        setFormatter(makeTemplateFormatter(FieldStr<Field::Message, 0, RIGHT, ' '>()));
    }
    mutable std::vector<std::string> collected;

protected:
    void logEntry(const std::string& text) const override { collected.push_back(text); }
};

CollectingSink& collector(const logcraft::SinkPtr& sink) {
    return static_cast<CollectingSink&>(*sink);
}

} // namespace

MapLogCapture::MapLogCapture(logcraft::LogLevel level)
    : m_sink(std::make_shared<CollectingSink>()), m_oldAdditive(loggerMap->getAdditive()) {
    loggerMap->addSink(m_sink);
    loggerMap->setLevel(level);
    loggerMap->setAdditive(false);
}

MapLogCapture::~MapLogCapture() {
    loggerMap->removeSink(m_sink);
    loggerMap->setLevel(logcraft::LogLevel::INHERIT);
    loggerMap->setAdditive(m_oldAdditive);
}

const std::vector<std::string>& MapLogCapture::messages() const {
    return collector(m_sink).collected;
}

bool MapLogCapture::contains(const std::string& message) const {
    const auto& all = messages();
    return std::find(all.begin(), all.end(), message) != all.end();
}

void MapLogCapture::clear() {
    collector(m_sink).collected.clear();
}

} // namespace testing_support
