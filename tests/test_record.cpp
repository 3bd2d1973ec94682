// The game record reader: the form of every line is checked, a record cut off after a complete
// line reads as an unfinished game, and a replay refuses moves the rules reject.
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "common/GameRecord.hpp"

namespace {

const std::string MapPart = "map 6\n2\n0\n0 0\n2 2\n1 2\n2 1\n";

bool reads(const std::string& text, GameRecordData& record) {
    std::istringstream in(text);
    std::string error;
    return readGameRecord(in, record, error);
}

TEST(GameRecordReader, ChecksEveryLineAndReadsCutRecords) {
    GameRecordData record;
    for (const char* bad : {"", "map 7\n2\n", "map x\n", "map 0\n", "mop 6\n",
                            "map 6\n2\n0\n0 0\n2 2\n1 2\n2 1\nmove 9 0 0 0\n",
                            "map 6\n2\n0\n0 0\n2 2\n1 2\n2 1\nmove 1 0 0 22\n",
                            "map 6\n2\n0\n0 0\n2 2\n1 2\n2 1\nmove 1 -1 0 0\n",
                            "map 6\n2\n0\n0 0\n2 2\n1 2\n2 1\nmove 1 0 0 0 7\n",
                            "map 6\n2\n0\n0 0\n2 2\n1 2\n2 1\nscores 1 2\nmove 1 0 0 0\n",
                            "map 6\n2\n0\n0 0\n2 2\n1 2\n2 1\nscores 1 -2\n",
                            "map 6\n2\n0\n0 0\n2 2\n1 2\n2 1\nscores 1 1 1 1 1 1 1 1 1\n",
                            "map 6\n2\n0\n0 0\n2 2\n1 2\n2 1\nresign 1\n"}) {
        EXPECT_FALSE(reads(bad, record)) << bad;
    }
    ASSERT_TRUE(reads(MapPart + "disqualify 2 no move within the time limit\n", record));
    EXPECT_FALSE(record.finished);
    ASSERT_EQ(record.events.size(), 1u);
    EXPECT_EQ(record.events[0].reason, "no move within the time limit");
    ASSERT_TRUE(reads(MapPart + "disqualify 2 gone\nscores 2 -1\n", record));
    EXPECT_TRUE(record.finished);
    EXPECT_EQ(record.scores, (std::vector<int>{2, -1}));
}

TEST(GameRecordReader, ReplayStopsAtAMoveTheRulesReject) {
    GameRecordData record;
    ASSERT_TRUE(reads(MapPart + "move 1 0 0 0\n", record));
    RecordReplay replay;
    std::string error;
    ASSERT_TRUE(replay.start(record, error));
    EXPECT_FALSE(replay.step(error));
    EXPECT_EQ(replay.position(), 0u);
    EXPECT_EQ(error, "event 1 is not a legal move");
}

} // namespace
