#include "server/GameServer.hpp"

#include <chrono>
#include <sstream>
#include <thread>

#include "common/GameBoard.hpp"
#include "common/Logging.hpp"
#include "common/ServerAnnouncements.hpp"

namespace {

constexpr std::chrono::milliseconds AcceptRetryPause{100};

// The depth limit travels as one byte.
void checkDepthLimit(const OPTA::TypedArgument<unsigned>& arg, const unsigned& value) {
    if (value > 255) {
        throw OPTA::argument_invalid_value(arg, std::to_string(value));
    }
}

} // namespace

void addMoveLimitOptions(OPTA::ArgumentParser& parser, std::uint32_t& timelimit,
                         unsigned& depthlimit) {
    OPTA::VariableArgument<std::uint32_t> time(timelimit, "Milliseconds per move, 0 for no limit",
                                               't', "timelimit");
    time.valuename("ms");
    OPTA::VariableArgument<unsigned> depth(depthlimit, "Search depth passed to players", 'd',
                                           "depthlimit");
    depth.valuename("n");
    depth.check_typed(checkDepthLimit);
    parser.arguments().add(time).add(depth);
}

bool GameServer::parseOptions(OPTA::ArgumentParser& parser) {
    OPTA::VariableArgument<std::string> map(m_mapFile, "The &map file to play on");
    map.valuename("file");
    map.set_required(true);
    OPTA::VariableArgument<std::uint16_t> port(m_port, "Port to listen on, 0 for any free port",
                                               'p', "port");
    port.valuename("port number");
    OPTA::VariableArgument<std::string> record(m_recordFile, "Write a game &record to this file");
    record.valuename("file");
    parser.arguments().add(map).add(port);
    addMoveLimitOptions(parser, m_timelimit, m_depthlimit);
    parser.arguments().add(record);
    return Tool::parseOptions(parser);
}

// One match: the map is checked before anybody can connect, the listener is closed once every
// seat is taken, and the run succeeds when the game has been played to its end.
bool GameServer::doRun() {
    Map map;
    if (!readProgramMap(map, m_mapFile, loggerServer)) {
        return false;
    }
    if (!m_recordFile.empty() && !m_record.open(m_recordFile)) {
        LOG(loggerServer, FATAL) << "Cannot write game record " << m_recordFile << ". aborting.";
        return false;
    }
    TcpServer listener;
    if (!listener.open_port(m_port)) {
        LOG(loggerServer, FATAL) << "Cannot listen on port " << m_port << ". aborting.";
        return false;
    }
    LOG(loggerServer, INFO) << listeningAnnouncement(listener.getPort());
    auto seats = seatPlayers([&listener] { return listener.accept(0); }, map);
    listener.close();
    m_record.writeMap(map);
    Referee referee(map, std::move(seats),
                    MoveLimits{m_timelimit, static_cast<std::uint8_t>(m_depthlimit)}, m_record);
    referee.play();
    reportResult(referee.game());
    return true;
}

// A connection that fails its opening frees no seat: the server simply waits for the next.
// A failing accept (e.g. no descriptors left) is retried after a pause, not in a busy loop.
std::vector<std::unique_ptr<ProtoClient>> GameServer::seatPlayers(const ConnectionSource& next,
                                                                  const Map& map) {
    std::ostringstream mapText;
    mapText << map;
    std::vector<std::unique_ptr<ProtoClient>> seats;
    LOG(loggerServer, INFO) << "Waiting for " << map.getPlayers() << " players";
    while (seats.size() < map.getPlayers()) {
        TcpSocket* socket = next();
        if (socket == nullptr) {
            std::this_thread::sleep_for(AcceptRetryPause);
            continue;
        }
        auto client = std::make_unique<ProtoClient>(socket);
        const auto player = static_cast<Player>(seats.size() + 1);
        if (welcome(*client, mapText.str(), player)) {
            seats.push_back(std::move(client));
        }
    }
    LOG(loggerServer, INFO) << "All players connected, starting game";
    return seats;
}

std::optional<std::uint8_t> GameServer::receiveGroupId(ProtoClient& client, std::uint32_t timeout) {
    MsgType type = MsgType::CLIENT_GROUPID;
    payload_client_groupid group{};
    if (client.receive_msg(type, true, timeout) != MsgResult::OK ||
        client.get_client_groupid(group) != MsgResult::OK) {
        return std::nullopt;
    }
    return group.groupid;
}

bool GameServer::welcome(ProtoClient& client, const std::string& mapText, Player player) {
    const auto group = receiveGroupId(client);
    if (!group) {
        LOG(loggerServer, WARN) << "Dropping a connection that sent no group id";
        return false;
    }
    if (!client.send_gameboard(mapText) || !client.send_client_playernum(player)) {
        LOG(loggerServer, WARN) << "Dropping a connection that closed during the opening";
        return false;
    }
    LOG(loggerServer, INFO) << joinedAnnouncement(*group, static_cast<unsigned>(player));
    return true;
}

// The board text ends with a line end, which the log line adds itself.
void GameServer::reportResult(const Game& game) {
    std::string board = game.getBoard().asString(Player::P_INVALID, false, true);
    board.pop_back();
    LOG(loggerServer, INFO) << "Final board:\n" << board;
    game.print_scores();
    m_record.writeScores(game);
}
