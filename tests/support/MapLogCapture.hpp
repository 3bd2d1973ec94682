// Collects the messages that reach the "reversi.map" logger while it lives, so that tests can
// compare what the map reader reports as text.
#pragma once

#include <string>
#include <vector>

#include "common/Logging.hpp"

namespace testing_support {

// Installs a collecting sink on the map logger at the given level and takes it away again on
// destruction; the logger then inherits its level again and gets its additivity back.
class MapLogCapture {
public:
    explicit MapLogCapture(logcraft::LogLevel level = logcraft::LogLevel::INFO);
    ~MapLogCapture();
    MapLogCapture(const MapLogCapture&) = delete;
    MapLogCapture& operator=(const MapLogCapture&) = delete;

    // The messages in order, without level or time stamp.
    const std::vector<std::string>& messages() const;
    bool contains(const std::string& message) const;
    void clear();

private:
    logcraft::SinkPtr m_sink;
    bool m_oldAdditive;
};

} // namespace testing_support
