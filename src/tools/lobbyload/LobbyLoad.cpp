// The load and check modes of reversi-lobbyload.
#include "tools/lobbyload/LobbyLoad.hpp"

#include <algorithm>
#include <chrono>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <map>
#include <random>
#include <regex>
#include <set>
#include <sstream>

#include "client/Client.hpp"
#include "common/GameRecord.hpp"
#include "common/Logging.hpp"
#include "common/Network.hpp"
#include "lobby/LobbyStore.hpp"
#include "lobby/Sqlite.hpp"

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::chrono::milliseconds SamplePeriod{250};
constexpr std::chrono::milliseconds RetryPause{100};
constexpr std::chrono::milliseconds HostilePoll{100};
constexpr std::chrono::seconds FinishGrace{10};

// The open connections of the players, so that the clients left waiting in the lobby's queue
// or in a game that no longer ends can be cut when the run is over.
class Connections {
public:
    void add(TcpSocket* socket) {
        std::lock_guard lock(m_mutex);
        m_sockets.insert(socket);
    }
    void remove(TcpSocket* socket) {
        std::lock_guard lock(m_mutex);
        m_sockets.erase(socket);
    }
    void cutAll() {
        std::lock_guard lock(m_mutex);
        for (TcpSocket* socket : m_sockets) {
            socket->shutdownBoth();
        }
    }

private:
    std::mutex m_mutex;
    std::set<TcpSocket*> m_sockets;
};

Connections openConnections;

// A client socket on the list of open connections for as long as it exists.
class ListedClient : public TcpClient {
public:
    ListedClient() { openConnections.add(this); }
    ~ListedClient() override { openConnections.remove(this); }
    ListedClient(const ListedClient&) = delete;
    ListedClient& operator=(const ListedClient&) = delete;
};

// A player of the lobby's own protocol in a thread: it plays the first legal move the rules
// engine generates and times each of its moves until their announcement arrives.
class LoadClient : public Client {
public:
    explicit LoadClient(unsigned group) : Client(static_cast<std::uint8_t>(group)) {}

    bool play(std::unique_ptr<TcpSocket> connection) { return runSession(std::move(connection)); }
    const std::vector<std::uint32_t>& delays() const { return m_delays; }

protected:
    Move getMove(Game* game, unsigned int, unsigned int) override {
        Move move;
        game->nextMove(move, false);
        m_sent = Clock::now();
        return move;
    }
    void moveApplied(const Move& move) override {
        if (move.player == getPlayer()) {
            const auto delay =
                std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - m_sent);
            m_delays.push_back(static_cast<std::uint32_t>(delay.count()));
        }
    }

private:
    Clock::time_point m_sent;
    std::vector<std::uint32_t> m_delays;
};

// "VmRSS" and "VmHWM" of a process in kB, 0 when it cannot be read.
std::int64_t statusKb(int pid, const std::string& key) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(key + ":", 0) == 0) {
            return std::atoll(line.c_str() + key.size() + 1);
        }
    }
    return 0;
}

std::int64_t countOf(const SqliteDb& db, const std::string& state) {
    SqliteStatement count(db, "SELECT count(*) FROM games WHERE state = ?");
    return count.bind(1, state).step() ? count.integer(0) : 0;
}

double percentile(std::vector<std::uint32_t>& values, double share) {
    if (values.empty()) {
        return 0;
    }
    const auto index = static_cast<std::size_t>(share * static_cast<double>(values.size() - 1));
    std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(index),
                     values.end());
    return values[index] / 1000.0;
}

void raiseTo(std::atomic<unsigned>& most, unsigned value) {
    unsigned seen = most.load();
    while (value > seen && !most.compare_exchange_weak(seen, value)) {
    }
}

// Sleeps until `until` or the stop, in short steps; false once the stop has come.
bool pause(const std::atomic<bool>& stop, Clock::time_point until) {
    while (!stop && Clock::now() < until) {
        std::this_thread::sleep_for(std::min<Clock::duration>(HostilePoll, until - Clock::now()));
    }
    return !stop;
}

// Holds a hostile connection until the lobby drops it, the stop comes or `until` passes.
void holdOpen(const TcpSocket& socket, const std::atomic<bool>& stop, Clock::time_point until) {
    while (!stop && Clock::now() < until && !socket.peerGone()) {
        std::this_thread::sleep_for(HostilePoll);
    }
}

// What the log of one or more lobby runs on the same database says: how often each game
// started, in which run (counted from 1 by "Listening on port" lines), and the result line
// each finished game got: "Game N finished on MAP: group a s, group b s".
struct LogGames {
    std::map<std::int64_t, unsigned> started;
    std::map<std::int64_t, unsigned> run;
    std::map<std::int64_t, std::string> finished;
    unsigned runs = 0;
};

LogGames readLog(const std::string& file) {
    static const std::regex started(R"(Game (\d+) started on )");
    static const std::regex finished(R"(Game (\d+) finished on (.*)$)");
    LogGames games;
    std::ifstream in(file);
    std::string line;
    std::smatch match;
    while (std::getline(in, line)) {
        if (line.find("Listening on port ") != std::string::npos) {
            ++games.runs;
        } else if (std::regex_search(line, match, started)) {
            ++games.started[std::stoll(match[1])];
            games.run[std::stoll(match[1])] = games.runs;
        } else if (std::regex_search(line, match, finished)) {
            games.finished[std::stoll(match[1])] = match[2];
        }
    }
    return games;
}

// The log's text of a stored game's end, as the lobby writes it.
std::string finishedText(const StoredGame& game) {
    std::ostringstream text;
    text << game.map << ":";
    for (std::size_t s = 0; s < game.seats.size(); ++s) {
        text << (s == 0 ? " " : ", ") << "group " << game.seats[s].group << ' '
             << game.seats[s].score;
    }
    return text.str();
}

// Empty when the record replays to the end of the game with the stored seats' scores.
std::string replayFault(const std::string& text, const StoredGame& game) {
    std::istringstream in(text);
    GameRecordData record;
    RecordReplay replay;
    std::string error;
    if (!readGameRecord(in, record, error) || !replay.start(record, error)) {
        return error;
    }
    while (!replay.atEnd()) {
        if (!replay.step(error)) {
            return error;
        }
    }
    int scores[8] = {};
    replay.game().get_scores(scores);
    if (!replay.game().is_final() || replay.game().getNrPlayers() != game.seats.size()) {
        return "the replay does not end the game";
    }
    for (std::size_t s = 0; s < game.seats.size(); ++s) {
        if (scores[s] != game.seats[s].score) {
            return "seat " + std::to_string(s + 1) + " replays to another score";
        }
    }
    return "";
}

// The comparison of a database with the log, game by game, counting what it finds.
struct StoreCheck {
    LogGames log;
    unsigned faults = 0;
    std::size_t finished = 0;
    std::size_t unlogged = 0;

    void fault(std::int64_t id, const std::string& what) {
        std::cout << "game " << id << ": " << what << '\n';
        ++faults;
    }

    // One stored game against its log lines, and its record against its scores.
    void stored(const StoredGame& game, const std::string& record) {
        const unsigned starts = log.started.count(game.id) == 0 ? 0 : log.started.at(game.id);
        if (starts == 0 && game.state == "aborted") {
            ++unlogged;
        } else if (starts != 1) {
            fault(game.id, "not started exactly once in the log");
        }
        if (game.state != "finished") {
            return;
        }
        ++finished;
        const auto logged = log.finished.find(game.id);
        const bool killedRun = log.run.count(game.id) != 0 && log.run.at(game.id) < log.runs;
        if (logged == log.finished.end() && killedRun) {
            ++unlogged;
        } else if (logged == log.finished.end() || logged->second != finishedText(game)) {
            fault(game.id, "finished in the database but not so in the log");
        }
        const std::string replay = replayFault(record, game);
        if (!replay.empty()) {
            fault(game.id, "record: " + replay);
        }
    }

    // Every game the log names is stored, and stored as finished when the log says so.
    void logged(const std::vector<StoredGame>& games) {
        std::map<std::int64_t, std::string> states;
        for (const StoredGame& game : games) {
            states[game.id] = game.state;
        }
        for (const auto& started : log.started) {
            if (states.count(started.first) == 0) {
                fault(started.first, "started in the log but not stored");
            }
        }
        for (const auto& ended : log.finished) {
            if (states.count(ended.first) == 0 || states.at(ended.first) != "finished") {
                fault(ended.first, "finished in the log but not stored as finished");
            }
        }
    }
};

} // namespace

bool LobbyLoad::parseOptions(OPTA::ArgumentParser& parser) {
    OPTA::VariableArgument<std::string> host(m_host, "The lobby's address", "host");
    host.valuename("host");
    OPTA::VariableArgument<std::uint16_t> port(m_port, "The lobby's game port", 'p', "port");
    port.valuename("port number");
    OPTA::VariableArgument<unsigned> clients(m_clients, "Playing clients (default 200)", "clients");
    clients.valuename("n");
    OPTA::VariableArgument<unsigned> groups(m_groups, "Groups they belong to (default 10)",
                                            "groups");
    groups.valuename("n");
    OPTA::VariableArgument<unsigned> hostile(m_hostile, "Hostile connections (default 0)",
                                             "hostile");
    hostile.valuename("n");
    OPTA::VariableArgument<unsigned> seconds(m_seconds, "Length of the run (default 60)",
                                             "seconds");
    seconds.valuename("s");
    OPTA::VariableArgument<std::string> db(m_dbFile, "The lobby's database", "db");
    db.valuename("file");
    OPTA::VariableArgument<int> pid(m_lobbyPid, "The lobby's process id, for its memory", "pid");
    pid.valuename("pid");
    OPTA::VariableArgument<std::string> check(
        m_checkLog, "Check the database against this log of the lobby instead of loading it",
        "check");
    check.valuename("log file");
    parser.arguments().add(host).add(port).add(clients).add(groups).add(hostile).add(seconds);
    parser.arguments().add(db).add(pid).add(check);
    return Tool::parseOptions(parser);
}

bool LobbyLoad::doRun() {
    if (m_dbFile.empty() || m_groups == 0) {
        std::cerr << "Give the lobby's database with --db and at least one group\n";
        return false;
    }
    return m_checkLog.empty() ? runLoad() : runCheck();
}

// The clients and hostile connections run until the time is up; the main thread samples the
// database and draws the progress meanwhile.
bool LobbyLoad::runLoad() {
    for (const LogPtr& logger : {loggerConsole, loggerNetwork, loggerGame}) {
        Logging::setLogLevel(logger, logcraft::LogLevel::OFF);
    }
    std::vector<std::thread> threads;
    for (unsigned c = 0; c < m_clients; ++c) {
        threads.emplace_back([this, c] { playLoop(c % m_groups + 1); });
    }
    for (unsigned h = 0; h < m_hostile; ++h) {
        threads.emplace_back([this, h] { hostileLoop(h % 4, h); });
    }
    GameCounts most;
    GameCounts first;
    sample(most, first);
    const auto start = Clock::now();
    const auto end = start + std::chrono::seconds(m_seconds);
    GameCounts now = first;
    while (Clock::now() < end) {
        std::this_thread::sleep_for(SamplePeriod);
        sample(most, now);
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    m_stop = true;
    std::cerr << "\nstopping: the clients finish their games\n";
    const auto cut = Clock::now() + FinishGrace;
    while (m_connected > 0 && Clock::now() < cut) {
        std::this_thread::sleep_for(SamplePeriod);
    }
    openConnections.cutAll();
    for (auto& thread : threads) {
        thread.join();
    }
    report(seconds, most, now.finished - first.finished);
    return true;
}

// One client: connect, play, and again; the delays it measured join the others at the end.
void LobbyLoad::playLoop(unsigned group) {
    std::vector<std::uint32_t> delays;
    while (!m_stop) {
        auto socket = std::make_unique<ListedClient>();
        if (!socket->connect_to(m_host, m_port)) {
            std::this_thread::sleep_for(RetryPause);
            continue;
        }
        raiseTo(m_mostConnected, ++m_connected);
        LoadClient client(group);
        client.play(std::move(socket));
        --m_connected;
        ++m_sessions;
        delays.insert(delays.end(), client.delays().begin(), client.delays().end());
    }
    std::lock_guard lock(m_mutex);
    m_delays.insert(m_delays.end(), delays.begin(), delays.end());
}

// Kinds in turn: 0 silent until dropped, 1 garbage, 2 a group id cut off at a random byte,
// 3 a player that sends its group id and then never reads nor answers for a while.
void LobbyLoad::hostileLoop(unsigned kind, unsigned seed) {
    std::mt19937 random(seed);
    const std::uint8_t groupId[] = {1, 0, 0, 0, 1, 99};
    while (!m_stop) {
        ListedClient socket;
        if (!socket.connect_to(m_host, m_port)) {
            std::this_thread::sleep_for(RetryPause);
            continue;
        }
        ++m_hostileConnections;
        const auto hold = Clock::now() + std::chrono::milliseconds(2000 + random() % 8000);
        if (kind == 1) {
            std::vector<std::uint8_t> garbage(1 + random() % 64);
            std::generate(garbage.begin(), garbage.end(), [&random] { return random(); });
            socket.send(garbage.data(), garbage.size());
        } else if (kind != 0) {
            socket.send(groupId, kind == 2 ? random() % sizeof groupId : sizeof groupId);
        }
        if (kind != 2) {
            holdOpen(socket, m_stop, hold);
        }
        pause(m_stop, Clock::now() + RetryPause);
    }
}

// Running games are counted by the lobby's database; the progress line goes to standard error.
void LobbyLoad::sample(GameCounts& most, GameCounts& now) const {
    SqliteDb db;
    if (db.open(m_dbFile)) {
        now.running = countOf(db, "running");
        now.finished = countOf(db, "finished");
    }
    most.running = std::max(most.running, now.running);
    std::cerr << "\rclients " << m_connected << " (most " << m_mostConnected << "), games running "
              << now.running << " (most " << most.running << "), finished " << now.finished
              << ", hostile connections " << m_hostileConnections << "   " << std::flush;
}

void LobbyLoad::report(double seconds, const GameCounts& most, std::int64_t finished) const {
    std::lock_guard lock(m_mutex);
    auto delays = m_delays;
    std::cout << std::fixed << std::setprecision(1) << "seconds " << seconds << "\nclients "
              << m_clients << ", hostile " << m_hostile << "\nmost clients connected at once "
              << m_mostConnected << "\nmost games running at once " << most.running
              << "\ngames finished " << finished << ", per minute " << finished * 60.0 / seconds
              << "\nsessions " << m_sessions << ", hostile connections " << m_hostileConnections
              << "\nmoves timed " << delays.size() << ", move to announcement median "
              << std::setprecision(2) << percentile(delays, 0.5) << " ms, p99 "
              << percentile(delays, 0.99) << " ms\n";
    if (m_lobbyPid > 0) {
        std::cout << "lobby VmRSS " << statusKb(m_lobbyPid, "VmRSS") / 1024 << " MB, VmHWM "
                  << statusKb(m_lobbyPid, "VmHWM") / 1024 << " MB\n";
    }
}

// Every game the log started once; the finished games of the database and the log agree seat
// by seat; every stored record replays to its scores. A lobby killed with SIGKILL may have
// stored a game's start or end without logging it: such a game, aborted or of a run that did
// not end last, is counted as unlogged, not as a fault.
bool LobbyLoad::runCheck() const {
    Logging::setLogLevel(loggerGame, logcraft::LogLevel::WARN);
    LobbyStore store;
    if (!store.open(m_dbFile)) {
        return false;
    }
    StoreCheck check{readLog(m_checkLog)};
    const auto games = store.games("", 0);
    for (const StoredGame& game : games) {
        check.stored(game, store.record(game.id).value_or(""));
    }
    check.logged(games);
    std::cout << games.size() << " games stored, " << check.finished << " finished, "
              << check.unlogged << " not logged by a killed lobby, " << check.faults << " faults\n";
    return check.faults == 0;
}
