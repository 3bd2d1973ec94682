#include "fuzz/support/Wire.hpp"

namespace fuzzing::wire {

namespace {

std::uint32_t bigEndian(std::string_view bytes) {
    std::uint32_t value = 0;
    for (const char byte : bytes) {
        value = value << 8 | static_cast<unsigned char>(byte);
    }
    return value;
}

} // namespace

std::string u16(std::uint16_t value) {
    return {static_cast<char>(value >> 8), static_cast<char>(value & 0xff)};
}

std::string u32(std::uint32_t value) {
    return u16(static_cast<std::uint16_t>(value >> 16)) +
           u16(static_cast<std::uint16_t>(value & 0xffff));
}

std::string message(std::uint8_t type, std::string_view payload) {
    std::string bytes(1, static_cast<char>(type));
    bytes += u32(static_cast<std::uint32_t>(payload.size()));
    bytes += payload;
    return bytes;
}

bool lengthFits(unsigned type, std::uint32_t len) {
    switch (type) {
    case 1:
    case 3:
    case 7:
        return len == 1;
    case 2:
        return len >= 1 && len <= 2012000;
    case 4:
    case 5:
        return len == 5;
    case 6:
        return len == 6;
    case 8:
    case 9:
        return len == 0;
    default:
        return false;
    }
}

bool corruptHeader(std::string_view stream) {
    return stream.size() >= 5 &&
           !lengthFits(static_cast<unsigned char>(stream[0]), bigEndian(stream.substr(1, 4)));
}

std::string_view frontMessage(std::string_view stream) {
    if (stream.size() < 5) {
        return {};
    }
    const std::uint32_t len = bigEndian(stream.substr(1, 4));
    const auto type = static_cast<unsigned char>(stream[0]);
    if (!lengthFits(type, len) || stream.size() - 5 < len) {
        return {};
    }
    return stream.substr(0, 5 + len);
}

} // namespace fuzzing::wire
