// The fuzz input as a stream of decisions: a target takes bytes, numbers and pieces of text
// from the front and gets zeros or empty pieces once the input is used up, so every input
// drives the target to an end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace fuzzing {

class FuzzInput {
public:
    FuzzInput(const std::uint8_t* data, std::size_t size)
        : m_data(reinterpret_cast<const char*>(data), size) {}

    bool empty() const { return m_data.empty(); }
    std::size_t size() const { return m_data.size(); }

    std::uint8_t byte() {
        if (m_data.empty()) {
            return 0;
        }
        const auto value = static_cast<std::uint8_t>(m_data.front());
        m_data.remove_prefix(1);
        return value;
    }

    // Two bytes, big-endian.
    std::uint16_t u16() {
        const unsigned high = byte();
        return static_cast<std::uint16_t>(high << 8 | byte());
    }

    // A number below `bound` (which must not be 0).
    unsigned below(unsigned bound) { return byte() % bound; }

    // Up to `count` bytes from the front.
    std::string take(std::size_t count) {
        const std::string_view piece = m_data.substr(0, count);
        m_data.remove_prefix(piece.size());
        return std::string(piece);
    }

    // The bytes before the first `separator` (all that is left when there is none); the
    // separator itself is dropped.
    std::string until(char separator) {
        const std::size_t end = m_data.find(separator);
        std::string piece = take(end);
        byte();
        return piece;
    }

    std::string rest() { return take(m_data.size()); }

private:
    std::string_view m_data;
};

} // namespace fuzzing
