#include "client/Client.hpp"

#include <memory>

#include "common/GameBoard.hpp"
#include "common/Logging.hpp"
#include "common/Network.hpp"

namespace {

// The server's time limit is cut by this much so that the answer arrives in time.
constexpr std::uint32_t TimelimitSafetyOffset = 500;

// The board as the player sees it, for the log.
std::string boardText(const Game& game, Player player) {
    return game.getBoard().asString(player, true, true);
}

} // namespace

Client::Client(std::uint8_t groupID) : m_groupID(groupID), m_serverHost("localhost") {}

bool Client::parseOptions(OPTA::ArgumentParser& parser) {
    OPTA::VariableArgument<std::string> server(m_serverHost, "Address of &server to connect to");
    server.valuename("host or IP");
    OPTA::VariableArgument<std::uint16_t> port(m_serverPort, "Port to connect to", 'p', "port");
    port.valuename("port number");
    // The group id is read as a decimal number 0 ... 255, not as a character code.
    OPTA::VariableArgument<std::uint8_t> group(m_groupID, "Override the &group ID");
    group.valuename("number");
    parser.arguments().add(server).add(port).add(group);
    return Tool::parseOptions(parser);
}

Game* Client::initGame(const Map& map) {
    return new Game(map, true);
}

void Client::deinitGame(Game* game) {
    delete game;
}

bool Client::doRun() {
    auto client = std::make_unique<TcpClient>();
    LOG(loggerConsole, INFO) << "Connecting to server " << m_serverHost << " on port "
                             << m_serverPort;
    if (!client->connect_to(m_serverHost, m_serverPort)) {
        LOG(loggerConsole, FATAL) << "Failed to connect to server. aborting.";
        return false;
    }
    return runSession(std::move(client));
}

// Teardown runs in reverse order of creation: the game, then the endpoint with its socket, then
// the map the game referred to.
bool Client::runSession(std::unique_ptr<TcpSocket> connection) {
    Map map;
    const auto server = std::make_unique<ProtoClient>(connection.release());
    if (!protocolInit(server.get(), map)) {
        return false;
    }
    Game* game = initGame(map);
    if (game == nullptr) {
        LOG(loggerConsole, ERR) << "Failed to initialize game";
        return false;
    }
    const bool exitOk = playGame(*server, *game);
    deinitGame(game);
    return exitOk;
}

// The opening: group id out, then the map and this client's player number in.
bool Client::protocolInit(ProtoClient* server, Map& map) {
    LOG(loggerConsole, INFO) << "Sending group id...";
    if (!server->send_client_groupid(m_groupID)) {
        return false;
    }
    LOG(loggerConsole, INFO) << "Waiting for server to send board...";
    MsgType type = MsgType::GAMEBOARD;
    std::string mapText;
    if (server->receive_msg(type, true, 0) != MsgResult::OK ||
        server->get_gameboard(mapText) != MsgResult::OK) {
        LOG(loggerConsole, FATAL) << "Failed to receive gameboard. aborting.";
        return false;
    }
    if (!map.loadFromString(mapText)) {
        LOG(loggerConsole, FATAL) << "Invalid map. aborting.";
        return false;
    }
    LOG(loggerConsole, INFO) << "Waiting for server to assign player number...";
    type = MsgType::CLIENT_PLAYERNUM;
    payload_client_playernum playernum{};
    if (server->receive_msg(type, true, 0) != MsgResult::OK ||
        server->get_client_playernum(playernum) != MsgResult::OK) {
        LOG(loggerConsole, FATAL) << "Failed to receive player number. aborting.";
        return false;
    }
    // The number indexes per-player tables later on, so it must name a player of this map.
    const auto number = static_cast<unsigned>(playernum.player);
    if (number < 1 || number > map.getPlayers()) {
        LOG(loggerConsole, FATAL) << "Invalid player number " << number << ". aborting.";
        return false;
    }
    m_playerNum = playernum.player;
    LOG(loggerConsole, INFO) << "OK. You are player " << m_playerNum;
    LOG(loggerConsole, INFO) << "Protocol init complete, starting game.";
    return true;
}

// Reads and acts on the server's messages until one of them ends the game.
bool Client::playGame(ProtoClient& server, Game& game) {
    bool exitOk = false;
    bool gameRunning = true;
    while (gameRunning) {
        MsgType type = MsgType::FAIL;
        if (server.receive_msg(type, false, 0) != MsgResult::OK) {
            LOG(loggerConsole, ERR) << "Error receiving message from server, aborting.";
            break;
        }
        gameRunning = handleMessage(server, game, type, exitOk);
    }
    return exitOk;
}

// Acts on one message; false when the session is over.
bool Client::handleMessage(ProtoClient& server, Game& game, MsgType type, bool& exitOk) {
    switch (type) {
    case MsgType::MOVEREQUEST:
        return handleMoveRequest(server, game);
    case MsgType::MOVEANNOUNCE:
        return handleMoveAnnounce(server, game);
    case MsgType::DISQUALIFICATION:
        return handleDisqualification(server, game);
    case MsgType::TERMINAL:
        handleTerminal(game);
        return true;
    case MsgType::FIN:
        handleFin(game);
        exitOk = true;
        return false;
    case MsgType::CLIENT_GROUPID:
    case MsgType::GAMEBOARD:
    case MsgType::CLIENT_PLAYERNUM:
    case MsgType::MOVE:
        LOG(loggerConsole, WARN) << "Ignoring unexpected message from server: "
                                 << static_cast<unsigned>(type);
        return true;
    default:
        LOG(loggerConsole, ERR) << "Unknown message type received, aborting.";
        return false;
    }
}

// Asks getMove for this client's move and sends it; the local game changes only when the
// server announces the move.
bool Client::handleMoveRequest(ProtoClient& server, Game& game) {
    m_requestArrival = std::chrono::steady_clock::now();
    payload_moverequest request{};
    server.get_moverequest(request);
    std::uint32_t timelimit = request.timelimit;
    const auto depthlimit = static_cast<unsigned>(request.depthlimit);
    LOG(loggerConsole, INFO) << "Received move request. Timelimit " << timelimit << ", depthlimit "
                             << depthlimit;
    LOG(loggerConsole, DEBUG) << "\n" << boardText(game, m_playerNum);
    LOG(loggerConsole, DEBUG) << game.getStatus();
    if (timelimit > TimelimitSafetyOffset) {
        timelimit -= TimelimitSafetyOffset;
        LOG(loggerConsole, INFO) << "Applying timelimit safety offset, timelimit now " << timelimit;
    }
    if (game.getCurrentPlayer() != m_playerNum) {
        LOG(loggerConsole, WARN)
            << "Received move request but game indicates its not my turn. Making move anyway";
    }
    const Move move = getMove(&game, timelimit, depthlimit);
    if (!move.isValid()) {
        LOG(loggerConsole, ERR) << "The specified move is invalid and will not be send. aborting.";
        return false;
    }
    if (!server.send_move(move.x, move.y, move.choice)) {
        LOG(loggerConsole, ERR) << "Error sending move to server, aborting.";
        return false;
    }
    LOG(loggerConsole, INFO) << "Sent move to server: " << move;
    return true;
}

// Applies an announced move, this client's own included; a move the local game rejects
// means the two no longer agree, and the session ends.
bool Client::handleMoveAnnounce(ProtoClient& server, Game& game) {
    LOG(loggerConsole, INFO) << "Received move announcement";
    payload_moveannounce announce{};
    server.get_moveannounce(announce);
    if (!isMapPlayer(announce.player, game)) {
        return false;
    }
    const Move move(announce.x, announce.y, announce.choice, announce.player, game.is_terminal());
    LOG(loggerConsole, INFO) << "Applying received move: " << move;
    if (!game.makeMove(move)) {
        LOG(loggerConsole, ERR) << "Received invalid move, aborting.";
        return false;
    }
    moveApplied(move);
    return true;
}

// Another player's disqualification is recorded; this client's own ends the session.
bool Client::handleDisqualification(ProtoClient& server, Game& game) {
    payload_disqualification disqualification{};
    server.get_disqualification(disqualification);
    LOG(loggerConsole, INFO) << "Received disqualification for player " << disqualification.player;
    if (!isMapPlayer(disqualification.player, game)) {
        return false;
    }
    if (disqualification.player != m_playerNum) {
        game.disqualify(disqualification.player);
        playerDisqualified(disqualification.player);
        return true;
    }
    LOG(loggerConsole, ERR) << "Got disqualified from the game, aborting.";
    LOG(loggerConsole, ERR) << "\n" << boardText(game, m_playerNum);
    return false;
}

// The server ends the build phase; the local game follows even if it sees moves left.
void Client::handleTerminal(Game& game) {
    LOG(loggerConsole, INFO) << "Game reached terminal state";
    if (!game.is_terminal()) {
        LOG(loggerConsole, WARN) << "Internal game state is not terminal, forcing terminal state!";
        game.force_terminal();
    }
}

void Client::handleFin(Game& game) {
    LOG(loggerConsole, INFO) << "Received end of game, stopping game";
    if (!game.is_final()) {
        LOG(loggerConsole, WARN) << "Internal game state is not final, but server expects so!";
    }
}

// A player number from the server must name a player of the map before it reaches the game.
bool Client::isMapPlayer(Player player, const Game& game) const {
    const auto number = static_cast<unsigned>(player);
    if (number >= 1 && number <= game.getNrPlayers()) {
        return true;
    }
    LOG(loggerConsole, ERR) << "Received invalid player number " << number << ", aborting.";
    return false;
}
