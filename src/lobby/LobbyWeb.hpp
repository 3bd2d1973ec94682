// The lobby's web side: the standings page, each game's replay page (following a running game
// live through Server-Sent Events) and a JSON interface, served by cpp-httplib on threads of
// its own. It only reads: the database through a connection of its own, the running games
// through their live feeds; it never takes the lobby's lock.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

#include "lobby/LiveFeed.hpp"
#include "lobby/LobbyStore.hpp"

namespace httplib {
class Server;
struct Request;
struct Response;
} // namespace httplib

class LobbyWeb {
public:
    // Live pages and event streams open at once; more are refused, so that streams can never
    // take every worker thread.
    static constexpr unsigned MaxStreams = 32;
    // The most games one request of /api/games lists.
    static constexpr unsigned MaxLimit = 1000;

    explicit LobbyWeb(const LiveGames& live);
    ~LobbyWeb();
    LobbyWeb(const LobbyWeb&) = delete;
    LobbyWeb& operator=(const LobbyWeb&) = delete;

    // Opens the database for reading, binds the port (0: any free one) and serves on a thread
    // of its own; logs "HTTP on port N". False (logged) when it cannot.
    bool start(const std::string& dbFile, std::uint16_t port);
    // Ends every stream and the server; waits for its threads.
    void stop();

private:
    void route();
    void standings(httplib::Response& res);
    void gameList(const httplib::Request& req, httplib::Response& res);
    void gameInfo(const httplib::Request& req, httplib::Response& res);
    void gameRecord(const httplib::Request& req, httplib::Response& res);
    void gamePage(const httplib::Request& req, httplib::Response& res);
    void gameEvents(const httplib::Request& req, httplib::Response& res);

    const LiveGames& m_live;
    LobbyStore m_store;
    std::unique_ptr<httplib::Server> m_server;
    std::thread m_thread;
    std::atomic<bool> m_stopping{false};
    std::atomic<unsigned> m_streams{0};
};

// The front page, HTML with its style and script.
extern const char* const LOBBY_PAGE;
