// Fuzz target: the server's seating and referee against hostile players, over socket pairs.
// The input picks a map, the move time limit and junk connections that must not get a seat
// (nothing sent, another type first, a corrupt header, a peer gone before the map is out),
// then plays the game from a shadow referee's point of view: the player on turn sends a legal
// move, an arbitrary move, another message type, raw bytes, closes its connection or (with a
// time limit) goes silent. Afterwards the game must be over, every seat must have received
// well-formed server messages only, and where the outcome is predictable (no raw bytes) the
// referee's board must equal the shadow's: every answer is in its socket before the game starts,
// and the referee judges answers by when they arrived, so even a short limit on a loaded machine
// disqualifies only the silent players.
// libFuzzer: -max_len=2048
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "common/GameBoard.hpp"
#include "common/GameRecord.hpp"
#include "fuzz/support/FuzzCheck.hpp"
#include "fuzz/support/FuzzInput.hpp"
#include "fuzz/support/FuzzLog.hpp"
#include "fuzz/support/FuzzMaps.hpp"
#include "fuzz/support/ScriptedPeer.hpp"
#include "fuzz/support/Wire.hpp"
#include "server/GameServer.hpp"
#include "server/Referee.hpp"

namespace {

using fuzzing::FuzzInput;
using fuzzing::ScriptedPeer;
namespace wire = fuzzing::wire;

constexpr std::size_t MaxInput = 64 * 1024;
// The move time limit when the input asks for one; short, so that silent players cost little.
constexpr std::uint32_t ShortLimit = 2;

// One connection as the harness scripts it.
struct Connection {
    std::unique_ptr<ScriptedPeer> peer = std::make_unique<ScriptedPeer>();
    std::string bytes;
    enum class End { CLOSE_WRITE, SILENT, GONE } end = End::CLOSE_WRITE;
};

std::string groupId(std::uint8_t id) {
    return wire::message(1, std::string(1, static_cast<char>(id)));
}

std::string moveMessage(std::uint16_t x, std::uint16_t y, MoveChoice choice) {
    return wire::message(5, wire::u16(x) + wire::u16(y) + static_cast<char>(choice));
}

Connection junk(unsigned kind) {
    Connection connection;
    switch (kind % 4) {
    case 1:
        connection.bytes = wire::message(3, "\1") + groupId(1);
        break;
    case 2:
        connection.bytes = std::string("\1\0\0\0\2\1\1", 7);
        break;
    case 3:
        connection.bytes = groupId(2);
        connection.end = Connection::End::GONE;
        break;
    default:
        break;
    }
    return connection;
}

// Everything but a move, well-formed.
std::string strayMessage(unsigned kind) {
    const std::string messages[] = {
        groupId(3),
        wire::message(2, std::string(fuzzing::FuzzMaps[0])),
        wire::message(3, "\1"),
        wire::message(4, wire::u32(1000) + '\0'),
        wire::message(6, wire::u16(0) + wire::u16(0) + '\0' + '\1'),
        wire::message(7, "\1"),
        wire::message(8),
        wire::message(9),
    };
    return messages[kind % 8];
}

// The player's next move when the shadow picks it: the first legal one at or after a square.
Move legalMove(Game& shadow, FuzzInput& input) {
    const Map& map = shadow.getMap();
    const auto x = static_cast<std::uint16_t>(input.byte() % map.getWidth());
    const auto y = static_cast<std::uint16_t>(input.byte() % map.getHeight());
    Move move(x, y, MoveChoice::NONE, shadow.getCurrentPlayer(), shadow.is_terminal());
    if (!shadow.nextMove(move, false)) {
        move = Move();
        FUZZ_CHECK(shadow.nextMove(move, false));
    }
    return move;
}

// The shadow referee: writes what the player on turn sends and what the referee will make of
// it. False when the outcome can no longer be predicted.
bool scriptTurn(Game& shadow, std::vector<Connection>& players, bool timed, FuzzInput& input) {
    const Player player = shadow.getCurrentPlayer();
    Connection& connection = players[static_cast<unsigned>(player) - 1];
    switch (input.below(8)) {
    case 4: {
        const std::uint16_t x = input.byte();
        const std::uint16_t y = input.byte();
        const auto choice = static_cast<MoveChoice>(input.byte());
        connection.bytes += moveMessage(x, y, choice);
        const Move move(x, y, choice, player, shadow.is_terminal());
        if (shadow.checkMove(move, true)) {
            shadow.makeMove(move);
        } else {
            shadow.disqualify(player);
        }
        return true;
    }
    case 5:
        connection.bytes += strayMessage(input.byte());
        shadow.disqualify(player);
        return true;
    case 6:
        // The player sends nothing more: its stream ends, or with a time limit it may go silent.
        if (timed && input.byte() % 2 == 0) {
            connection.end = Connection::End::SILENT;
        }
        shadow.disqualify(player);
        return true;
    case 7:
        connection.bytes += input.take(input.below(12));
        shadow.disqualify(player);
        return false;
    default: {
        const Move move = legalMove(shadow, input);
        connection.bytes += moveMessage(move.x, move.y, move.choice);
        FUZZ_CHECK(shadow.makeMove(move));
        return true;
    }
    }
}

// Once the input is used up, every player's stream ends, and each is disqualified on its turn.
void finishShadow(Game& shadow) {
    while (!shadow.is_final()) {
        shadow.disqualify(shadow.getCurrentPlayer());
    }
}

// A seat receives the map, its player number and then only requests, announcements,
// disqualifications and the phase messages, each well-formed.
void checkSeatStream(std::string_view bytes, unsigned seat, const std::string& mapText) {
    unsigned count = 0;
    while (!bytes.empty()) {
        const std::string_view message = wire::frontMessage(bytes);
        FUZZ_CHECK(!message.empty());
        const auto type = static_cast<unsigned char>(message[0]);
        if (count == 0) {
            FUZZ_CHECK(type == 2 && message.substr(5) == mapText);
        } else if (count == 1) {
            FUZZ_CHECK(type == 3 && static_cast<unsigned char>(message[5]) == seat);
        } else {
            FUZZ_CHECK(type == 4 || (type >= 6 && type <= 9));
        }
        bytes.remove_prefix(message.size());
        ++count;
    }
    FUZZ_CHECK(count >= 2);
}

void deliver(Connection& connection) {
    connection.peer->write(connection.bytes);
    if (connection.end == Connection::End::CLOSE_WRITE) {
        connection.peer->endStream();
    } else if (connection.end == Connection::End::GONE) {
        connection.peer->close();
    }
}

bool sameOutcome(const Game& referee, const Game& shadow) {
    int refereeScores[8] = {};
    int shadowScores[8] = {};
    referee.get_scores(refereeScores);
    shadow.get_scores(shadowScores);
    return referee.getBoard().asSimpleString() == shadow.getBoard().asSimpleString() &&
           std::equal(refereeScores, refereeScores + 8, shadowScores);
}

GameRecord& discardedRecord() {
    static GameRecord record;
    if (!record.isOpen()) {
        record.open("/dev/null");
    }
    return record;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > MaxInput) {
        return 0;
    }
    fuzzing::logEverythingQuietly();
    FuzzInput input(data, size);
    Map map;
    FUZZ_CHECK(
        map.loadFromString(std::string(fuzzing::FuzzMaps[input.below(fuzzing::FuzzMaps.size())])));
    const std::uint8_t limits = input.byte();
    const bool timed = (limits & 1) != 0;
    const std::uint8_t junkBefore = input.byte();
    const std::uint16_t junkKinds = input.u16();
    const unsigned players = map.getPlayers();
    std::vector<Connection> seats(players);
    for (auto& seat : seats) {
        seat.bytes = groupId(input.byte());
    }
    Game shadow(map, false);
    bool predictable = true;
    while (!input.empty() && !shadow.is_final()) {
        predictable = scriptTurn(shadow, seats, timed, input) && predictable;
    }
    finishShadow(shadow);

    // The connections in the order the server meets them, junk before a player where asked.
    std::vector<Connection> junks;
    junks.reserve(players);
    std::vector<Connection*> order;
    for (unsigned i = 0; i < players; ++i) {
        if ((junkBefore >> i & 1) != 0) {
            junks.push_back(junk(junkKinds >> (2 * i)));
            order.push_back(&junks.back());
        }
        order.push_back(&seats[i]);
    }
    for (Connection* connection : order) {
        deliver(*connection);
    }
    std::size_t next = 0;
    auto seated = GameServer::seatPlayers(
        [&order, &next] {
            FUZZ_CHECK(next < order.size());
            return order[next++]->peer->takeEnd().release();
        },
        map);
    FUZZ_CHECK(seated.size() == players);

    Referee referee(map, std::move(seated),
                    MoveLimits{timed ? ShortLimit : 0, static_cast<std::uint8_t>(limits >> 1)},
                    discardedRecord());
    referee.play();
    FUZZ_CHECK(referee.game().is_final());
    FUZZ_CHECK(!predictable || sameOutcome(referee.game(), shadow));
    std::ostringstream mapText;
    mapText << map;
    for (unsigned i = 0; i < players; ++i) {
        checkSeatStream(seats[i].peer->readAvailable(), i + 1, mapText.str());
    }
    for (auto& connection : junks) {
        FUZZ_CHECK(connection.end == Connection::End::GONE ||
                   connection.peer->readAvailable().empty());
    }
    return 0;
}
