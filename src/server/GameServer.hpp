// The game server program: reads a map, seats as many clients as the map has players, referees
// the match and reports the scores.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/Map.hpp"
#include "common/Network.hpp"
#include "common/Protocol.hpp"
#include "common/Tool.hpp"
#include "server/Referee.hpp"

// Adds the options of what every move request grants, shared by the programs that referee:
// -t/--timelimit (milliseconds, 0 for none) and -d/--depthlimit (at most 255).
void addMoveLimitOptions(OPTA::ArgumentParser& parser, std::uint32_t& timelimit,
                         unsigned& depthlimit);

// The server program on the common frame: its options, then seating, refereeing and the
// report of one match per run.
class GameServer : public Tool {
public:
    // How long a new connection may take to send its group id before it is dropped.
    static constexpr std::uint32_t GroupIdTimeout = 10000;

    // Hands over the next new connection, which the seating then owns, or null when there is
    // none yet.
    using ConnectionSource = std::function<TcpSocket*()>;

    GameServer() = default;

    // Seats as many players as the map has from the connections `next` hands over, numbered in
    // the order their opening succeeded; a source without a connection is asked again after a
    // pause.
    static std::vector<std::unique_ptr<ProtoClient>> seatPlayers(const ConnectionSource& next,
                                                                 const Map& map);
    // The group id that a new connection sends first; none when the connection sends anything
    // else, ends or stays silent for `timeout` milliseconds.
    static std::optional<std::uint8_t> receiveGroupId(ProtoClient& client,
                                                      std::uint32_t timeout = GroupIdTimeout);

protected:
    bool parseOptions(OPTA::ArgumentParser& parser) override;
    bool doRun() override;

private:
    // The opening with one new connection: group id in, map and player number out.
    static bool welcome(ProtoClient& client, const std::string& mapText, Player player);
    void reportResult(const Game& game);

    std::string m_mapFile;
    std::uint16_t m_port = 7777;
    std::uint32_t m_timelimit = 0;
    unsigned m_depthlimit = 0;
    std::string m_recordFile;
    GameRecord m_record;
};
