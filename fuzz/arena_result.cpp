// Fuzz target: the arena's result file reader, which `--collect` runs over files that may come
// from other machines. A text it accepts must write back to a text that reads as the same
// result, and a text it refuses must leave the result as it was.
// libFuzzer: -max_len=2048
#include <cstddef>
#include <cstdint>
#include <string>

#include "arena/GameResult.hpp"
#include "fuzz/support/FuzzCheck.hpp"

namespace {

bool sameResult(const GameResult& a, const GameResult& b) {
    if (a.game != b.game || a.map != b.map || a.status != b.status ||
        a.durationMs != b.durationMs || a.seats.size() != b.seats.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.seats.size(); ++i) {
        if (a.seats[i].player != b.seats[i].player || a.seats[i].score != b.seats[i].score ||
            a.seats[i].cause != b.seats[i].cause) {
            return false;
        }
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    GameResult result;
    result.game = 77;
    if (!parseGameResult(text, result)) {
        FUZZ_CHECK(result.game == 77 && result.seats.empty());
        return 0;
    }
    FUZZ_CHECK(!result.seats.empty() && result.seats.size() <= MaxSeats);
    GameResult again;
    FUZZ_CHECK(parseGameResult(formatGameResult(result), again));
    FUZZ_CHECK(sameResult(result, again));
    return 0;
}
