// The running games' feeds: appends and the end under a short lock, readers woken by a
// condition variable.
#include "lobby/LiveFeed.hpp"

#include <algorithm>

void LiveFeed::add(const RecordEvent& event, std::string_view record, std::int64_t nowMs) {
    {
        std::lock_guard lock(m_mutex);
        const std::size_t from = std::min(m_recorded, record.size());
        m_entries.push_back(LiveEntry{std::string(record.substr(from)), event, nowMs});
        m_recorded = record.size();
    }
    m_changed.notify_all();
}

void LiveFeed::end(std::string_view record, std::int64_t nowMs) {
    {
        std::lock_guard lock(m_mutex);
        m_ended = true;
        m_tail = record.substr(std::min(m_recorded, record.size()));
        m_endedMs = nowMs;
    }
    m_changed.notify_all();
}

std::size_t LiveFeed::size() const {
    std::lock_guard lock(m_mutex);
    return m_entries.size();
}

LiveSnapshot LiveFeed::since(std::size_t from, std::chrono::milliseconds limit) const {
    std::unique_lock lock(m_mutex);
    m_changed.wait_for(lock, limit, [&] { return m_ended || m_entries.size() > from; });
    LiveSnapshot snapshot{m_head, {}, m_ended, m_tail, m_endedMs};
    if (from < m_entries.size()) {
        snapshot.entries.assign(m_entries.begin() + static_cast<std::ptrdiff_t>(from),
                                m_entries.end());
    }
    return snapshot;
}

std::string LiveFeed::record() const {
    std::lock_guard lock(m_mutex);
    std::string text = m_head;
    for (const LiveEntry& entry : m_entries) {
        text += entry.line;
    }
    return text + m_tail;
}

std::shared_ptr<LiveFeed> LiveGames::open(std::int64_t id, std::string head) {
    auto feed = std::make_shared<LiveFeed>(std::move(head));
    std::lock_guard lock(m_mutex);
    m_feeds[id] = feed;
    return feed;
}

void LiveGames::close(std::int64_t id, std::string_view record, std::int64_t nowMs) {
    std::shared_ptr<LiveFeed> feed;
    {
        std::lock_guard lock(m_mutex);
        const auto it = m_feeds.find(id);
        if (it == m_feeds.end()) {
            return;
        }
        feed = it->second;
        m_feeds.erase(it);
    }
    feed->end(record, nowMs);
}

std::shared_ptr<LiveFeed> LiveGames::find(std::int64_t id) const {
    std::lock_guard lock(m_mutex);
    const auto it = m_feeds.find(id);
    return it == m_feeds.end() ? nullptr : it->second;
}
