// The lobby program: one game port that every team's program connects to whenever it likes.
// Clients send their group id, wait in a queue and are seated in the next game of the map pool
// that the queue can fill; each game is refereed by the server's referee on a thread of its own
// and stored in the lobby's SQLite database when it ends.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "common/Map.hpp"
#include "common/Network.hpp"
#include "common/Protocol.hpp"
#include "common/Tool.hpp"
#include "lobby/LiveFeed.hpp"
#include "lobby/LobbyStore.hpp"
#include "lobby/LobbyWeb.hpp"
#include "lobby/Pairing.hpp"
#include "server/GameServer.hpp"
#include "server/Referee.hpp"

class Lobby : public Tool {
public:
    Lobby() = default;
    ~Lobby() override;

protected:
    bool parseOptions(OPTA::ArgumentParser& parser) override;
    bool doRun() override;

private:
    // A map of the pool with its text as sent to the players.
    struct PoolMap {
        std::string name;
        std::string text;
        std::unique_ptr<Map> map;
    };
    struct RunningGame;
    // A connection's protocol end that, once seated, keeps its socket on its game's list of
    // open connections until it closes, so that a stop never ends a connection the referee has
    // already closed and freed.
    class SeatedClient : public ProtoClient {
    public:
        explicit SeatedClient(TcpSocket* socket) : ProtoClient(socket) {}
        ~SeatedClient() override;
        SeatedClient(const SeatedClient&) = delete;
        SeatedClient& operator=(const SeatedClient&) = delete;

        void seatIn(RunningGame& game);

    private:
        RunningGame* m_game = nullptr;
    };
    // A connection, from its acceptance until its game ends. `socket` is owned by `client`; it
    // is kept to end the connection from another thread while it greets or waits.
    struct Connection {
        std::unique_ptr<SeatedClient> client;
        TcpSocket* socket = nullptr;
        unsigned group = 0;
    };
    // A thread that waits for one new connection's group id.
    struct Greeter {
        Connection connection;
        std::thread thread;
        bool done = false;
    };
    // A game on its thread; `aborted` tells the game thread not to store it as finished.
    // `sockets` are its connections still open, under their own lock, since the referee closes
    // them on its thread.
    struct RunningGame {
        std::int64_t id = 0;
        std::mutex socketsMutex;
        std::vector<TcpSocket*> sockets;
        std::thread thread;
        bool done = false;
        bool aborted = false;
    };

    bool loadPool();
    void serve(const TcpServer& listener);
    void acceptSlice(const TcpServer& listener);
    bool shouldStop() const;
    void admit(TcpSocket* socket);
    void greet(Greeter& greeter);
    void dropGoneWaiters();
    void startGames();
    void startGame(const Pairing& pairing);
    void runGame(RunningGame& game, const PoolMap& map, std::vector<Connection> seats);
    void storeResult(RunningGame& game, const PoolMap& map, const std::vector<unsigned>& groups,
                     const GameRecord& record, const Game& result);
    void reap();
    void stopGames();
    void logStandings();

    std::vector<std::string> m_mapFiles;
    std::string m_mapSlot;
    std::uint16_t m_port = 7777;
    std::string m_dbFile = "lobby.db";
    std::uint32_t m_timelimit = 0;
    unsigned m_depthlimit = 0;
    unsigned m_maxClients = 256;
    unsigned m_games = 0;
    std::string m_recordsDir;
    std::uint16_t m_httpPort = 0;
    bool m_http = false;
    // How long running games may take to finish after a stop was asked for, and how long a new
    // connection may take to send its group id.
    unsigned m_stopGrace = 30;
    std::uint32_t m_greetingTimeout = GameServer::GroupIdTimeout;

    std::vector<PoolMap> m_pool;
    LobbyStore m_store;
    std::unique_ptr<MapRotation> m_rotation;
    std::mt19937 m_random{std::random_device{}()};
    // The running games' feeds and the web side that reads them (off without --http).
    LiveGames m_live;
    std::unique_ptr<LobbyWeb> m_web;

    // Guards everything below: the queue, the greeters, the games and the counters.
    mutable std::mutex m_mutex;
    std::vector<Connection> m_queue;
    std::vector<std::unique_ptr<Greeter>> m_greeters;
    std::vector<std::unique_ptr<RunningGame>> m_running;
    // Connections held now: greeted, waiting or seated in a running game.
    unsigned m_connections = 0;
    unsigned m_started = 0;
    unsigned m_finished = 0;
    std::chrono::steady_clock::time_point m_lastRefusalLog;
};
