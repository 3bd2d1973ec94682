// The lobby: accepting, greeting, queueing and pairing on the main thread and greeter threads,
// one thread per running game, the database written when a game starts and ends.
#include "lobby/Lobby.hpp"

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <sstream>

#include <sys/socket.h>

#include "common/FileIO.hpp"
#include "common/Logging.hpp"
#include "common/ServerAnnouncements.hpp"
#include "lobby/LobbyStandings.hpp"
#include "server/GameServer.hpp"

namespace {

LogPtr loggerLobby = Logging::getLogger("reversi.lobby");

constexpr std::uint32_t AcceptSlice = 50;
constexpr std::chrono::seconds RefusalLogInterval{1};
constexpr std::chrono::milliseconds StopPoll{50};
// A player whose connection takes no bytes for this long (it stopped reading and its buffers
// are full) counts as gone, as if it had closed: otherwise a send to it would hold its game,
// time limit or not, until the lobby stops.
constexpr std::uint32_t SendLimit = 10000;

volatile std::sig_atomic_t stopSignal = 0;

void requestStop(int) {
    stopSignal = 1;
}

// SIGINT and SIGTERM ask for a stop; the main loop notices within one accept slice.
void installStopHandlers() {
    struct sigaction action {};
    action.sa_handler = requestStop;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGINT, SIGTERM}) {
        sigaction(signal, &action, nullptr);
    }
}

std::int64_t nowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

std::string mapTextOf(const Map& map) {
    std::ostringstream text;
    text << map;
    return text.str();
}

// "group 3 40, group 7 disqualified" for the log.
std::string seatsLine(const std::vector<unsigned>& groups, const std::vector<StoredSeat>& seats) {
    std::ostringstream line;
    for (std::size_t s = 0; s < groups.size(); ++s) {
        line << (s == 0 ? "" : ", ") << groupName(groups[s]);
        if (s < seats.size()) {
            line << ' ' << seats[s].score;
        }
    }
    return line.str();
}

// The seats' scores from the game and their disqualification reasons from the record, which
// is where the referee names them.
std::vector<StoredSeat> seatsOf(const std::vector<unsigned>& groups, const std::string& record,
                                const Game& game) {
    int scores[8] = {};
    game.get_scores(scores);
    std::vector<StoredSeat> seats;
    for (std::size_t s = 0; s < groups.size() && s < 8; ++s) {
        seats.push_back(StoredSeat{groups[s], scores[s], ""});
    }
    std::istringstream in(record);
    GameRecordData data;
    std::string error;
    if (readGameRecord(in, data, error)) {
        for (const RecordEvent& event : data.events) {
            const auto seat = static_cast<std::size_t>(event.player) - 1;
            if (event.kind == RecordEvent::Kind::DISQUALIFY && seat < seats.size()) {
                seats[seat].reason = event.reason;
            }
        }
    }
    return seats;
}

// A receive time of 0 means no limit, and a greeting without limit would let silent
// connections pile up.
void checkPositive(const OPTA::TypedArgument<std::uint32_t>& arg, const std::uint32_t& value) {
    if (value == 0) {
        throw OPTA::argument_invalid_value(arg, "0");
    }
}

template <typename List>
void joinAll(List& list) {
    for (const auto& item : list) {
        if (item->thread.joinable()) {
            item->thread.join();
        }
    }
}

} // namespace

Lobby::~Lobby() {
    stopGames();
}

Lobby::SeatedClient::~SeatedClient() {
    if (m_game != nullptr) {
        std::lock_guard lock(m_game->socketsMutex);
        auto& sockets = m_game->sockets;
        sockets.erase(std::remove(sockets.begin(), sockets.end(), m_socket), sockets.end());
    }
}

void Lobby::SeatedClient::seatIn(RunningGame& game) {
    std::lock_guard lock(game.socketsMutex);
    game.sockets.push_back(m_socket);
    m_game = &game;
}

bool Lobby::parseOptions(OPTA::ArgumentParser& parser) {
    auto map =
        listOption(m_mapSlot, m_mapFiles, "A map of the pool (repeatable)", 'm', "map", "file");
    map.set_required(true);
    OPTA::VariableArgument<std::uint16_t> port(m_port, "Game port, 0 for any free port", 'p',
                                               "port");
    port.valuename("port number");
    OPTA::VariableArgument<std::string> db(m_dbFile, "The database file (default lobby.db)", "db");
    db.valuename("file");
    OPTA::VariableArgument<unsigned> maxClients(
        m_maxClients, "Most connections held at once (default 256)", "max-clients");
    maxClients.valuename("n");
    OPTA::VariableArgument<unsigned> games(m_games, "Stop after this many finished games, 0 never",
                                           "games");
    games.valuename("n");
    OPTA::VariableArgument<std::string> records(
        m_recordsDir, "Also write each game's record into this folder", "records");
    records.valuename("folder");
    OPTA::VariableArgument<unsigned> grace(
        m_stopGrace, "Seconds running games get to finish after a stop (default 30)", "stop-grace");
    grace.valuename("s");
    OPTA::VariableArgument<std::uint32_t> greeting(
        m_greetingTimeout, "Milliseconds a new connection has to send its group id (default 10000)",
        "greeting-timeout");
    greeting.valuename("ms");
    greeting.check_typed(checkPositive);
    parser.arguments().add(map).add(port).add(db);
    addMoveLimitOptions(parser, m_timelimit, m_depthlimit);
    OPTA::VariableArgument<std::uint16_t> http(
        m_httpPort, "Serve the web page and JSON on this port, 0 for any free port", "http");
    http.valuename("port number");
    parser.arguments().add(maxClients).add(games).add(records).add(http).add(grace).add(greeting);
    const bool parsed = Tool::parseOptions(parser);
    m_http = http.is_set();
    return parsed;
}

bool Lobby::doRun() {
    if (!loadPool() || !m_store.open(m_dbFile)) {
        LOG(loggerLobby, FATAL) << "Cannot start the lobby. aborting.";
        return false;
    }
    // Clients of a game that just ended come back at once; the system's largest queue keeps
    // their connections from being dropped and retried a second later.
    TcpServer listener;
    if (!listener.open_port(m_port, SOMAXCONN)) {
        LOG(loggerLobby, FATAL) << "Cannot listen on port " << m_port << ". aborting.";
        return false;
    }
    if (m_http) {
        m_web = std::make_unique<LobbyWeb>(m_live);
        if (!m_web->start(m_dbFile, m_httpPort)) {
            LOG(loggerLobby, FATAL) << "Cannot serve HTTP on port " << m_httpPort << ". aborting.";
            return false;
        }
    }
    installStopHandlers();
    LOG(loggerLobby, INFO) << listeningAnnouncement(listener.getPort());
    serve(listener);
    listener.close();
    stopGames();
    if (m_web != nullptr) {
        m_web->stop();
    }
    logStandings();
    return true;
}

bool Lobby::loadPool() {
    std::vector<unsigned> players;
    for (const std::string& file : m_mapFiles) {
        auto map = std::make_unique<Map>();
        if (!readProgramMap(*map, file, loggerLobby)) {
            return false;
        }
        players.push_back(map->getPlayers());
        const std::string name = std::filesystem::path(file).filename().string();
        m_pool.push_back(PoolMap{name, mapTextOf(*map), std::move(map)});
    }
    m_rotation = std::make_unique<MapRotation>(players);
    if (!m_recordsDir.empty()) {
        std::error_code error;
        std::filesystem::create_directories(m_recordsDir, error);
    }
    return true;
}

// One round per accept slice: admit whoever comes, then reap ended threads, drop waiters that
// left and start every game the queue can fill. Pairing once per slice rather than at each
// arrival seats clients that come together (the players of a game that just ended) together,
// so that maps for many players get their turn under load.
void Lobby::serve(const TcpServer& listener) {
    while (!shouldStop()) {
        acceptSlice(listener);
        std::lock_guard lock(m_mutex);
        reap();
        dropGoneWaiters();
        startGames();
    }
}

// Accept waits only when a connection is pending, so that a quiet port logs no time-outs, and
// never without limit, so that a connection reset before its acceptance cannot hold the loop.
void Lobby::acceptSlice(const TcpServer& listener) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(AcceptSlice);
    for (auto now = std::chrono::steady_clock::now(); now < end && stopSignal == 0;
         now = std::chrono::steady_clock::now()) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(end - now);
        if (listener.pending(static_cast<std::uint32_t>(left.count()))) {
            TcpSocket* socket = listener.accept(AcceptSlice);
            if (socket != nullptr) {
                admit(socket);
            }
        }
    }
}

bool Lobby::shouldStop() const {
    if (stopSignal != 0) {
        return true;
    }
    std::lock_guard lock(m_mutex);
    return m_games > 0 && m_finished >= m_games;
}

// A connection beyond the limit is closed at once; the log says so at most once a second.
void Lobby::admit(TcpSocket* socket) {
    std::lock_guard lock(m_mutex);
    if (m_connections >= m_maxClients) {
        delete socket;
        const auto now = std::chrono::steady_clock::now();
        if (now - m_lastRefusalLog >= RefusalLogInterval) {
            m_lastRefusalLog = now;
            LOG(loggerLobby, WARN) << "Refusing connections beyond " << m_maxClients;
        }
        return;
    }
    ++m_connections;
    socket->setSendLimit(SendLimit);
    auto greeter = std::make_unique<Greeter>();
    greeter->connection.socket = socket;
    greeter->connection.client = std::make_unique<SeatedClient>(socket);
    Greeter& started = *greeter;
    m_greeters.push_back(std::move(greeter));
    started.thread = std::thread([this, &started] { greet(started); });
}

// A connection with a group id joins the queue; any other is let go.
void Lobby::greet(Greeter& greeter) {
    const auto group = GameServer::receiveGroupId(*greeter.connection.client, m_greetingTimeout);
    std::lock_guard lock(m_mutex);
    greeter.done = true;
    if (!group) {
        LOG(loggerLobby, WARN) << "Dropping a connection that sent no group id";
        --m_connections;
        return;
    }
    greeter.connection.group = *group;
    m_queue.push_back(std::move(greeter.connection));
}

// A client that closed its connection while waiting leaves the queue without a word.
void Lobby::dropGoneWaiters() {
    const auto gone = std::remove_if(m_queue.begin(), m_queue.end(),
                                     [](const Connection& c) { return c.socket->peerGone(); });
    m_connections -= static_cast<unsigned>(m_queue.end() - gone);
    m_queue.erase(gone, m_queue.end());
}

void Lobby::startGames() {
    while (m_games == 0 || m_started < m_games) {
        std::vector<unsigned> groups;
        for (const Connection& waiting : m_queue) {
            groups.push_back(waiting.group);
        }
        const auto pairing = m_rotation->next(groups);
        if (!pairing) {
            return;
        }
        startGame(*pairing);
    }
}

// The chosen clients leave the queue in random seat order; the game is stored as running
// before its thread starts, so that its number follows those of the games before it.
void Lobby::startGame(const Pairing& pairing) {
    std::vector<Connection> seats;
    for (auto it = pairing.chosen.rbegin(); it != pairing.chosen.rend(); ++it) {
        seats.push_back(std::move(m_queue[*it]));
        m_queue.erase(m_queue.begin() + static_cast<std::ptrdiff_t>(*it));
    }
    std::shuffle(seats.begin(), seats.end(), m_random);
    std::vector<unsigned> groups;
    auto game = std::make_unique<RunningGame>();
    for (const Connection& seat : seats) {
        groups.push_back(seat.group);
    }
    const PoolMap& map = m_pool[pairing.map];
    game->id = m_store.beginGame(map.name, map.text, groups, nowMs());
    ++m_started;
    if (game->id == 0) {
        LOG(loggerLobby, ERR) << "Cannot store a new game; its players are let go";
        m_connections -= static_cast<unsigned>(seats.size());
        return;
    }
    LOG(loggerLobby, INFO) << "Game " << game->id << " started on " << map.name << ": "
                           << seatsLine(groups, {});
    RunningGame& started = *game;
    for (const Connection& seat : seats) {
        seat.client->seatIn(started);
    }
    m_running.push_back(std::move(game));
    started.thread = std::thread([this, &started, &map, s = std::move(seats)]() mutable {
        runGame(started, map, std::move(s));
    });
}

// The opening's second half (map and player number), the match, then the result. A seat whose
// opening fails stays empty: the referee disqualifies it on its first turn.
void Lobby::runGame(RunningGame& game, const PoolMap& map, std::vector<Connection> seats) {
    std::vector<std::unique_ptr<ProtoClient>> clients;
    std::vector<unsigned> groups;
    for (std::size_t s = 0; s < seats.size(); ++s) {
        groups.push_back(seats[s].group);
        ProtoClient& client = *seats[s].client;
        if (!client.send_gameboard(map.text) ||
            !client.send_client_playernum(static_cast<Player>(s + 1))) {
            LOG(loggerLobby, WARN) << "Game " << game.id << ": " << groupName(seats[s].group)
                                   << " closed during the opening";
        }
        clients.push_back(std::move(seats[s].client));
    }
    GameRecord record;
    record.openInMemory();
    record.writeMap(*map.map);
    Referee referee(*map.map, std::move(clients),
                    MoveLimits{m_timelimit, static_cast<std::uint8_t>(m_depthlimit)}, record);
    const auto feed = m_live.open(game.id, record.text());
    referee.setObserver([&feed](const RecordEvent& event, const GameRecord& written) {
        feed->add(event, written.view(), nowMs());
    });
    referee.play();
    record.writeScores(referee.game());
    storeResult(game, map, groups, record, referee.game());
    m_live.close(game.id, record.view(), nowMs());
}

void Lobby::storeResult(RunningGame& game, const PoolMap& map, const std::vector<unsigned>& groups,
                        const GameRecord& record, const Game& result) {
    const auto seats = seatsOf(groups, record.text(), result);
    std::unique_lock lock(m_mutex);
    const bool aborted = game.aborted;
    lock.unlock();
    if (aborted || !m_store.finishGame(game.id, seats, record.text(), nowMs())) {
        m_store.abortGame(game.id, nowMs());
        LOG(loggerLobby, WARN) << "Game " << game.id << " aborted";
    } else {
        LOG(loggerLobby, INFO) << "Game " << game.id << " finished on " << map.name << ": "
                               << seatsLine(groups, seats);
        StoredGame stored{game.id, map.name, "finished", 0, 0, seats};
        LOG(loggerMatchpoint, INFO) << matchpointLine(resultOf(stored));
        if (!m_recordsDir.empty()) {
            const auto path =
                std::filesystem::path(m_recordsDir) / ("game-" + std::to_string(game.id) + ".rec");
            std::string reason;
            if (!writeFileAtomically(path.string(), record.text(), reason)) {
                LOG(loggerLobby, WARN)
                    << "Cannot write game record " << path.string() << ": " << reason;
            }
        }
    }
    lock.lock();
    game.done = true;
    m_connections -= static_cast<unsigned>(groups.size());
    m_finished += aborted ? 0 : 1;
}

// Joins the threads that have ended; called with the lock held.
void Lobby::reap() {
    const auto reaped = [](auto& list) {
        const auto ended = std::stable_partition(list.begin(), list.end(),
                                                 [](const auto& item) { return !item->done; });
        for (auto it = ended; it != list.end(); ++it) {
            (*it)->thread.join();
        }
        list.erase(ended, list.end());
    };
    reaped(m_greeters);
    reaped(m_running);
}

// No new games: waiting clients and greetings are let go, running games get the grace period
// to finish and are then aborted, their connections closed under them.
void Lobby::stopGames() {
    std::unique_lock lock(m_mutex);
    m_connections -= static_cast<unsigned>(m_queue.size());
    m_queue.clear();
    for (const auto& greeter : m_greeters) {
        if (!greeter->done) {
            greeter->connection.socket->shutdownBoth();
        }
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(m_stopGrace);
    while (
        std::any_of(m_running.begin(), m_running.end(), [](const auto& g) { return !g->done; }) &&
        std::chrono::steady_clock::now() < deadline) {
        lock.unlock();
        std::this_thread::sleep_for(StopPoll);
        lock.lock();
    }
    for (const auto& game : m_running) {
        if (!game->done) {
            game->aborted = true;
            std::lock_guard sockets(game->socketsMutex);
            for (TcpSocket* socket : game->sockets) {
                socket->shutdownBoth();
            }
        }
    }
    lock.unlock();
    joinAll(m_greeters);
    joinAll(m_running);
    lock.lock();
    m_greeters.clear();
    m_running.clear();
}

void Lobby::logStandings() {
    LOG(loggerLobby, INFO) << "Standings after " << m_finished << " games this run:\n"
                           << standingsOf(m_store).formatTable(std::nullopt);
}
