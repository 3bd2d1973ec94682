// Messages as raw bytes, written and checked by the harness without the protocol code, so that
// the network targets can script a peer and judge what the code under test sent.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace fuzzing::wire {

// One message: the type byte, the payload length big-endian, the payload.
std::string message(std::uint8_t type, std::string_view payload = {});
std::string u16(std::uint16_t value);
std::string u32(std::uint32_t value);

// The payload length each message type demands.
bool lengthFits(unsigned type, std::uint32_t len);
// The complete, well-formed message at the front of `stream`; empty when there is none.
std::string_view frontMessage(std::string_view stream);
// True when `stream` starts with a whole header that breaks the length rules.
bool corruptHeader(std::string_view stream);

} // namespace fuzzing::wire
