// The network game client: connects to the game server, plays the opening, keeps a passive
// local game in step with the server's announcements and answers every move request with the
// move that a derived class supplies through getMove.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "common/Game.hpp"
#include "common/Map.hpp"
#include "common/Network.hpp"
#include "common/Protocol.hpp"
#include "common/Tool.hpp"

// One session with the server per run. A derived class decides the moves (a person at the
// console, a bot) and may replace how the local game is created and disposed of.
class Client : public Tool {
public:
    // The group id of a client whose moves are typed in by a person.
    static constexpr std::uint8_t InteractiveGroupID = 255;

    explicit Client(std::uint8_t groupID);
    ~Client() override = default;

protected:
    // Connects to the server and runs the session; true exactly when the server ended the game
    // with FIN.
    bool doRun() override;
    // The session on a connection that is already open: the opening, then the game.
    bool runSession(std::unique_ptr<TcpSocket> connection);
    // Adds the server, port and group options to the common ones.
    bool parseOptions(OPTA::ArgumentParser& parser) override;
    // Creates the local game, passive because the server is the referee.
    virtual Game* initGame(const Map& map);
    virtual void deinitGame(Game* game);
    // The move to send for the current request; an invalid Move ends the session.
    virtual Move getMove(Game* game, unsigned int timelimit, unsigned int depthlimit) = 0;
    // Told after the local game has applied an announced move or another player's
    // disqualification, for a derived class that follows the game move by move.
    virtual void moveApplied(const Move& /*move*/) {}
    virtual void playerDisqualified(Player /*player*/) {}

    Player getPlayer() const { return m_playerNum; }
    // When the move request that getMove answers arrived: the server's clock runs from then.
    std::chrono::steady_clock::time_point requestArrival() const { return m_requestArrival; }

    std::uint8_t m_groupID;
    Player m_playerNum = Player::P_INVALID;
    std::string m_serverHost;
    std::uint16_t m_serverPort = 7777;

private:
    std::chrono::steady_clock::time_point m_requestArrival;

    bool protocolInit(ProtoClient* server, Map& map);
    bool playGame(ProtoClient& server, Game& game);
    bool handleMessage(ProtoClient& server, Game& game, MsgType type, bool& exitOk);
    bool handleMoveRequest(ProtoClient& server, Game& game);
    bool handleMoveAnnounce(ProtoClient& server, Game& game);
    bool handleDisqualification(ProtoClient& server, Game& game);
    void handleTerminal(Game& game);
    void handleFin(Game& game);
    bool isMapPlayer(Player player, const Game& game) const;
};
