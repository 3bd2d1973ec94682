// Fuzz target: the game record reader, and on a record it accepts, the replay on the record's
// map. Each replay step either applies one event or refuses it with a message and leaves the
// position where it was; the board's stone counts stay equal to a recount.
// libFuzzer: -max_len=4096
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "common/GameBoard.hpp"
#include "common/GameRecord.hpp"
#include "fuzz/support/FuzzCheck.hpp"
#include "fuzz/support/FuzzLog.hpp"

namespace {

std::uint32_t stones(const GameBoard& board) {
    std::uint32_t counted = 0;
    for (std::uint32_t i = 0; i < board.getBoardSize(); ++i) {
        const auto square = static_cast<unsigned>(board.get_square(static_cast<index_t>(i)));
        counted += square >= 1 && square <= 8 ? 1 : 0;
    }
    return counted;
}

std::uint32_t countedStones(const GameBoard& board) {
    std::uint32_t total = 0;
    for (unsigned colour = 1; colour <= 8; ++colour) {
        total += board.getBoardCounts()[colour];
    }
    return total;
}

void replay(const GameRecordData& record) {
    RecordReplay replay;
    std::string error;
    if (!replay.start(record, error)) {
        FUZZ_CHECK(!error.empty());
        return;
    }
    while (!replay.atEnd()) {
        const std::size_t before = replay.position();
        error.clear();
        if (!replay.step(error)) {
            FUZZ_CHECK(!error.empty() && replay.position() == before);
            break;
        }
        FUZZ_CHECK(replay.position() == before + 1);
        FUZZ_CHECK(stones(replay.game().getBoard()) == countedStones(replay.game().getBoard()));
    }
    if (replay.atEnd()) {
        FUZZ_CHECK(!replay.step(error));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzing::logEverythingQuietly();
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    GameRecordData record;
    std::string error;
    if (!readGameRecord(in, record, error)) {
        FUZZ_CHECK(!error.empty());
        return 0;
    }
    FUZZ_CHECK(record.finished == !record.scores.empty());
    replay(record);
    return 0;
}
