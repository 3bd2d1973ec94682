// reversi-lobbyload: puts a running reversi-lobby under load and checks its database. In its
// load mode it runs many players in one process (threads over the client's own session code,
// each playing the first legal move at once and connecting again when its game ends) plus
// optional hostile connections, and reports what the lobby sustained. In its check mode it
// replays every stored record and compares the database with the lobby's log.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "common/Tool.hpp"

class LobbyLoad : public Tool {
public:
    LobbyLoad() = default;

protected:
    bool parseOptions(OPTA::ArgumentParser& parser) override;
    bool doRun() override;

private:
    // What the database says at one moment.
    struct GameCounts {
        std::int64_t running = 0;
        std::int64_t finished = 0;
    };

    bool runLoad();
    void playLoop(unsigned group);
    void hostileLoop(unsigned kind, unsigned seed);
    void sample(GameCounts& most, GameCounts& now) const;
    void report(double seconds, const GameCounts& most, std::int64_t finished) const;
    bool runCheck() const;

    std::string m_host = "127.0.0.1";
    std::uint16_t m_port = 7777;
    unsigned m_clients = 200;
    unsigned m_groups = 10;
    unsigned m_hostile = 0;
    unsigned m_seconds = 60;
    std::string m_dbFile;
    int m_lobbyPid = 0;
    std::string m_checkLog;

    std::atomic<bool> m_stop{false};
    std::atomic<unsigned> m_connected{0};
    std::atomic<unsigned> m_mostConnected{0};
    std::atomic<std::uint64_t> m_sessions{0};
    std::atomic<std::uint64_t> m_hostileConnections{0};
    // Microseconds from sending a move to the arrival of its announcement, of every client.
    mutable std::mutex m_mutex;
    std::vector<std::uint32_t> m_delays;
};
