// What the web side sees of the games running now: per game, the record as the referee writes
// it, one entry per event with the time the referee applied it. The referee's thread only
// appends under the feed's own lock; readers copy what they have not seen and wait on a
// condition variable with a time limit, so a slow reader never holds up a game.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "common/GameRecord.hpp"

// One event of a running game: its record line, the event as read back, and when the referee
// applied it (milliseconds since the epoch).
struct LiveEntry {
    std::string line;
    RecordEvent event;
    std::int64_t appliedMs = 0;
};

// A copy of part of a feed: the record's map part, the entries from some position on, and,
// once the game has ended, the rest of its record (the scores line).
struct LiveSnapshot {
    std::string head;
    std::vector<LiveEntry> entries;
    bool ended = false;
    std::string tail;
    std::int64_t endedMs = 0;
};

class LiveFeed {
public:
    // `head` is the record's map part.
    explicit LiveFeed(std::string head) : m_head(std::move(head)), m_recorded(m_head.size()) {}

    // The referee applied `event`; `record` is the record with its line, of which the feed
    // keeps what it has not seen yet.
    void add(const RecordEvent& event, std::string_view record, std::int64_t nowMs);
    // The game is over and `record` complete. Wakes every reader.
    void end(std::string_view record, std::int64_t nowMs);
    std::size_t size() const;
    // The entries from position `from` on; when there are none and the game goes on, waits up
    // to `limit` for more.
    LiveSnapshot since(std::size_t from, std::chrono::milliseconds limit) const;
    // The record so far: the map part, every line and, after the end, the rest.
    std::string record() const;

private:
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    const std::string m_head;
    // Bytes of the record taken into the head and the entries.
    std::size_t m_recorded;
    std::vector<LiveEntry> m_entries;
    bool m_ended = false;
    std::string m_tail;
    std::int64_t m_endedMs = 0;
};

// The feeds of the games running now, by game id.
class LiveGames {
public:
    std::shared_ptr<LiveFeed> open(std::int64_t id, std::string head);
    // Ends the game's feed with its complete record and forgets it; readers that hold the
    // feed still see its end.
    void close(std::int64_t id, std::string_view record, std::int64_t nowMs);
    // The feed of a running game, null for any other id.
    std::shared_ptr<LiveFeed> find(std::int64_t id) const;

private:
    mutable std::mutex m_mutex;
    std::map<std::int64_t, std::shared_ptr<LiveFeed>> m_feeds;
};
