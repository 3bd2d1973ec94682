#include "arena/GameRun.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>

#include <fcntl.h>
#include <unistd.h>

#include "arena/RecordSummary.hpp"
#include "common/FileIO.hpp"
#include "common/Network.hpp"
#include "common/Protocol.hpp"
#include "common/ServerAnnouncements.hpp"

namespace {

using std::chrono::milliseconds;

// How long the server may take to tell its port, and a player to join its seat.
constexpr milliseconds PortTimeout{10000};
constexpr milliseconds JoinTimeout{30000};
// A player that ended may have joined just before; the server's line gets this long.
constexpr milliseconds LateJoinGrace{500};
// After the server's end, the players get this long to end by themselves.
constexpr milliseconds ClosingGrace{2000};
// The stand-in's wait for each message of the opening.
constexpr std::uint32_t StandInTimeout = 5000;
// The longest part of a player's output that a message quotes.
constexpr std::size_t MaxQuoted = 300;
// Start-up allowance and per-move margin of the bound on a whole game.
constexpr milliseconds BoundBase{30000};
constexpr milliseconds MoveMargin{250};
constexpr milliseconds MoveWithoutLimit{60000};

int openLog(const std::string& path) {
    return open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0644);
}

void closeFd(int& fd) {
    if (fd >= 0) {
        close(fd);
        fd = -1;
    }
}

void writeAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t count = write(fd, data, size);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            return;
        }
        data += count;
        size -= static_cast<std::size_t>(count);
    }
}

// The last line of a program's output that holds more than blanks, at most MaxQuoted
// characters of it, with control characters shown as "?": it is quoted on the terminal.
std::string lastLine(const std::string& output) {
    const auto end = output.find_last_not_of(" \t\r\n");
    if (end == std::string::npos) {
        return "";
    }
    const auto start = output.find_last_of('\n', end);
    const auto first = start == std::string::npos ? 0 : start + 1;
    std::string line = output.substr(first, std::min(end + 1 - first, MaxQuoted));
    for (char& c : line) {
        const auto code = static_cast<unsigned char>(c);
        c = code < 0x20 || code == 0x7f ? '?' : c;
    }
    return line;
}

} // namespace

LogPtr arenaLogger() {
    static const LogPtr logger = Logging::getLogger("reversi.arena");
    return logger;
}

std::string siblingProgram(const std::string& name) {
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? name : (self.parent_path() / name).string();
}

std::string gameFile(const std::string& gamesDir, unsigned game, const std::string& suffix) {
    char number[16];
    std::snprintf(number, sizeof number, "%04u", game);
    return gamesDir + "/" + number + suffix;
}

PlayedState findPlayed(const std::string& gamesDir, const PlannedGame& game,
                       const std::vector<PlayerEntry>& players, GameResult& result) {
    std::string text, reason;
    if (!readWholeFile(gameFile(gamesDir, game.index, ".result"), text, reason) ||
        !parseGameResult(text, result) || result.status == GameStatus::Failed) {
        return PlayedState::Missing;
    }
    bool same = result.game == game.index && result.map == game.map &&
                result.seats.size() == game.seats.size();
    for (std::size_t s = 0; same && s < game.seats.size(); ++s) {
        same =
            game.seats[s] < players.size() && result.seats[s].player == players[game.seats[s]].name;
    }
    return same ? PlayedState::Played : PlayedState::Foreign;
}

std::chrono::milliseconds gameBound(std::uint32_t timelimit, unsigned cells, unsigned players,
                                    unsigned overrides, unsigned bombs) {
    const milliseconds perMove =
        timelimit > 0 ? milliseconds(timelimit) + MoveMargin : MoveWithoutLimit;
    const unsigned long long moves = 2ull * cells + 1ull * players * (overrides + bombs);
    return BoundBase + perMove * static_cast<long long>(moves);
}

GameRun::GameRun(const PlannedGame& game, const GameSettings& settings,
                 std::chrono::milliseconds bound, SeatedOnce& seated)
    : m_game(game), m_settings(settings), m_bound(bound), m_seated(seated), m_wakeAt(Clock::now()) {
}

GameRun::~GameRun() {
    for (auto& player : m_players) {
        player->stop();
    }
    m_server.stop();
    closeFd(m_serverOut);
    closeFd(m_serverLog);
}

std::string GameRun::file(const std::string& suffix) const {
    return gameFile(m_settings.gamesDir, m_game.index, suffix);
}

bool GameRun::advance() {
    for (Stage before = Stage::Done; before != m_stage && m_stage != Stage::Done;) {
        before = m_stage;
        readServerOutput();
        switch (m_stage) {
        case Stage::Start:
            startServer();
            break;
        case Stage::AwaitPort:
            if (m_port != 0) {
                seatNext();
            } else if (m_server.ended() || Clock::now() >= m_deadline) {
                finish(GameStatus::Failed);
            }
            break;
        case Stage::Seating:
            checkSeat();
            break;
        case Stage::Playing:
            checkPlaying();
            break;
        case Stage::Closing:
            checkClosing();
            break;
        case Stage::Done:
            break;
        }
    }
    return m_stage == Stage::Done;
}

// The server writes its log into a pipe that the arena copies to the log file, so that its
// lines wake the arena at once.
void GameRun::startServer() {
    m_started = Clock::now();
    int pipeEnds[2];
    m_serverLog = openLog(file(".server.log"));
    if (m_serverLog < 0 || pipe2(pipeEnds, O_CLOEXEC) != 0) {
        finish(GameStatus::Failed);
        return;
    }
    const bool started =
        m_server.start({m_settings.serverPath, "--map", m_game.map, "--port", "0", "--timelimit",
                        std::to_string(m_settings.timelimit), "--depthlimit",
                        std::to_string(m_settings.depthlimit), "--record", file(".record")},
                       pipeEnds[1]);
    close(pipeEnds[1]);
    m_serverOut = pipeEnds[0];
    fcntl(m_serverOut, F_SETFL, fcntl(m_serverOut, F_GETFL) | O_NONBLOCK);
    if (!started) {
        finish(GameStatus::Failed);
        return;
    }
    m_stage = Stage::AwaitPort;
    m_deadline = m_wakeAt = m_started + PortTimeout;
}

void GameRun::readServerOutput() {
    char buffer[8192];
    while (m_serverOut >= 0) {
        const ssize_t count = read(m_serverOut, buffer, sizeof buffer);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count < 0) {
            return; // nothing more for now
        }
        if (count == 0) {
            closeFd(m_serverOut);
            return;
        }
        writeAll(m_serverLog, buffer, static_cast<std::size_t>(count));
        m_pendingOutput.append(buffer, static_cast<std::size_t>(count));
        for (std::size_t end; (end = m_pendingOutput.find('\n')) != std::string::npos;) {
            onServerLine(m_pendingOutput.substr(0, end));
            m_pendingOutput.erase(0, end + 1);
        }
    }
}

void GameRun::onServerLine(const std::string& line) {
    if (m_port == 0) {
        m_port = announcedPort(line).value_or(0);
    } else if (announcedPlayer(line) == m_joined + 1) {
        m_seated[m_game.seats[m_joined]] = true;
        ++m_joined;
    }
}

void GameRun::seatNext() {
    if (m_joined == m_game.seats.size()) {
        m_stage = Stage::Playing;
        m_deadline = m_wakeAt = m_started + m_bound;
        return;
    }
    m_stage = Stage::Seating;
    const std::size_t seat = m_joined + 1;
    const PlayerEntry& entry = m_settings.players[m_game.seats[m_joined]];
    const std::string command =
        expandCommand(entry.command, {{"host", "127.0.0.1"},
                                      {"port", std::to_string(m_port)},
                                      {"seed", std::to_string(seatSeed(m_game, seat))},
                                      {"seat", std::to_string(seat)}});
    int log = openLog(file(".seat" + std::to_string(seat) + ".log"));
    m_players.push_back(std::make_unique<ChildProcess>());
    if (log >= 0) {
        m_players.back()->startShell(command, log);
        closeFd(log);
    }
    m_seatEnded = {};
    m_deadline = m_wakeAt = Clock::now() + JoinTimeout;
}

// A player that does not take its seat (it ended, or it is still not there after the join
// time) would leave the server waiting for ever: the arena takes the seat in its place and
// leaves at once, so that the server disqualifies the seat when its turn comes.
void GameRun::checkSeat() {
    if (m_joined == m_players.size()) {
        seatNext();
        return;
    }
    if (m_server.ended()) {
        finish(GameStatus::Failed);
        return;
    }
    ChildProcess& player = *m_players.back();
    const auto now = Clock::now();
    if (m_seatEnded == Clock::time_point{} && (!player.started() || player.ended())) {
        m_seatEnded = now;
    }
    const bool gaveUp = m_seatEnded != Clock::time_point{} && now >= m_seatEnded + LateJoinGrace;
    if (!gaveUp && now < m_deadline) {
        m_wakeAt = m_seatEnded == Clock::time_point{}
                       ? m_deadline
                       : std::min(m_deadline, m_seatEnded + LateJoinGrace);
        return;
    }
    const bool endedByItself = player.started() && player.ended();
    player.stop();
    if (endedByItself && cannotStart(player)) {
        failStart(player.exitStatus());
        return;
    }
    if (!standIn()) {
        finish(GameStatus::Failed);
        return;
    }
    ++m_joined;
    seatNext();
}

// The shell's own statuses for a command it could not run (126 not executable, 127 not found),
// or any failure of an entry that never took a seat: a player that ends by itself with status
// 0 before joining is a quitter and gets disqualified like one.
bool GameRun::cannotStart(const ChildProcess& player) const {
    const int status = player.exitStatus();
    return status == 126 || status == 127 || (status != 0 && !m_seated[m_game.seats[m_joined]]);
}

// The run stops on this game: its message names the player and quotes the last line it wrote
// (for a command the shell cannot find, the shell's own complaint), then the game is aborted.
void GameRun::failStart(int status) {
    const std::string name = m_settings.players[m_game.seats[m_joined]].name;
    std::string log, reason;
    readWholeFile(file(".seat" + std::to_string(m_joined + 1) + ".log"), log, reason);
    const std::string said = lastLine(log);
    m_startFailure = "The player " + name + " cannot start (exit status " + std::to_string(status) +
                     ")" + (said.empty() ? " and wrote nothing" : ": " + said);
    abort();
}

bool GameRun::standIn() {
    auto* socket = new TcpClient();
    if (!socket->connect_to("127.0.0.1", static_cast<std::uint16_t>(m_port))) {
        delete socket;
        return false;
    }
    ProtoClient connection(socket);
    MsgType board = MsgType::GAMEBOARD;
    MsgType number = MsgType::CLIENT_PLAYERNUM;
    const bool seated = connection.send_client_groupid(0) &&
                        connection.receive_msg(board, true, StandInTimeout) == MsgResult::OK &&
                        connection.receive_msg(number, true, StandInTimeout) == MsgResult::OK;
    const std::string note = "reversi-arena: the player did not take its seat; the arena "
                             "took it and left\n";
    const int log = open(file(".seat" + std::to_string(m_joined + 1) + ".log").c_str(),
                         O_WRONLY | O_APPEND | O_CLOEXEC);
    if (log >= 0) {
        writeAll(log, note.data(), note.size());
        close(log);
    }
    return seated;
}

void GameRun::checkPlaying() {
    if (m_server.ended()) {
        m_stage = Stage::Closing;
        m_deadline = m_wakeAt = Clock::now() + ClosingGrace;
    } else if (Clock::now() >= m_started + m_bound) {
        finish(GameStatus::Stopped);
    }
}

void GameRun::checkClosing() {
    const bool allEnded = std::all_of(m_players.begin(), m_players.end(),
                                      [](const auto& player) { return player->ended(); });
    if (allEnded || Clock::now() >= m_deadline) {
        const bool served = m_server.exitStatus() == 0;
        finish(served ? GameStatus::Finished : GameStatus::Failed);
    }
}

// Stops whatever still runs, reads the record of a finished game and writes the result file;
// a finished game whose record cannot be read counts as failed.
void GameRun::finish(GameStatus status) {
    for (auto& player : m_players) {
        player->stop();
    }
    m_server.stop();
    readServerOutput();
    closeFd(m_serverOut);
    closeFd(m_serverLog);
    m_result = GameResult{};
    m_result.game = m_game.index;
    m_result.map = m_game.map;
    RecordSummary summary;
    std::string record, reason;
    if (status == GameStatus::Finished &&
        (!readWholeFile(file(".record"), record, reason) ||
         !readRecordSummary(record, m_game.seats.size(), summary))) {
        status = GameStatus::Failed;
    }
    m_result.status = status;
    for (std::size_t s = 0; s < m_game.seats.size(); ++s) {
        SeatResult seat{m_settings.players[m_game.seats[s]].name, 0, DisqualifyCause::None};
        if (status == GameStatus::Finished) {
            seat.score = summary.scores[s];
            const std::string& reason = summary.reasons[s];
            if (seat.score < 0) {
                seat.cause = reason.empty() ? DisqualifyCause::Other : causeFromReason(reason);
            }
        }
        m_result.seats.push_back(std::move(seat));
    }
    m_result.durationMs = static_cast<std::uint64_t>(
        std::chrono::duration_cast<milliseconds>(Clock::now() - m_started).count());
    if (!writeFileAtomically(file(".result"), formatGameResult(m_result), reason)) {
        LOG(arenaLogger(), ERR) << "Cannot write " << file(".result") << ": " << reason;
    }
    m_stage = Stage::Done;
}

void GameRun::abort() {
    for (auto& player : m_players) {
        player->stop(milliseconds(200));
    }
    m_server.stop(milliseconds(200));
    closeFd(m_serverOut);
    closeFd(m_serverLog);
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(m_settings.gamesDir, ignored)) {
        const std::string name = entry.path().filename().string();
        const std::string prefix = std::filesystem::path(file(".")).filename().string();
        if (name.rfind(prefix, 0) == 0) {
            std::filesystem::remove(entry.path(), ignored);
        }
    }
    m_stage = Stage::Done;
}
