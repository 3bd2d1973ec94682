// Fuzz target: the client session against a hostile server, over a socket pair. The input
// picks a map and the player number of a valid opening (or leaves the opening to the fuzzer
// as well), then the server's messages: legal moves announced from a shadow game that follows
// the same announcements as the client, move requests, arbitrary moves and player numbers,
// disqualifications, phase changes, stray types and raw bytes. The client's answers come from
// a separate run of decision bytes. The session must end (the server closes after its last
// byte), fail with an error line of its own or succeed without one, and at every move request
// show the shadow's board and the request's limits after the safety offset.
// libFuzzer: -max_len=2048
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "client/Client.hpp"
#include "common/GameBoard.hpp"
#include "common/Logging.hpp"
#include "fuzz/support/FuzzCheck.hpp"
#include "fuzz/support/FuzzInput.hpp"
#include "fuzz/support/FuzzLog.hpp"
#include "fuzz/support/FuzzMaps.hpp"
#include "fuzz/support/ScriptedPeer.hpp"
#include "fuzz/support/Wire.hpp"

namespace {

using fuzzing::FuzzInput;
namespace wire = fuzzing::wire;

constexpr std::size_t MaxInput = 64 * 1024;

// What the client must see when it is asked for a move.
struct Expectation {
    std::string board;
    std::uint32_t timelimit;
    unsigned depthlimit;
};

// The server's bytes, written ahead. Expectations hold only up to the first raw chunk, which
// may hide messages the shadow does not know about.
struct Script {
    std::string bytes;
    std::vector<Expectation> expected;
    std::size_t reliable = SIZE_MAX;
};

std::string announce(std::uint16_t x, std::uint16_t y, MoveChoice choice, Player player) {
    return wire::message(6, wire::u16(x) + wire::u16(y) + static_cast<char>(choice) +
                                static_cast<char>(player));
}

std::uint32_t timelimitOf(FuzzInput& input) {
    switch (input.below(6)) {
    case 0:
        return 500;
    case 1:
        return 501;
    case 2:
        return 1000;
    case 3:
        return UINT32_MAX;
    case 4: {
        const std::uint32_t high = input.u16();
        return high << 16 | input.u16();
    }
    default:
        return 0;
    }
}

// The next legal move of the shadow at or after the square the input names.
bool legalMove(Game& shadow, FuzzInput& input, Move& move) {
    const Map& map = shadow.getMap();
    const auto x = static_cast<std::uint16_t>(input.byte() % map.getWidth());
    const auto y = static_cast<std::uint16_t>(input.byte() % map.getHeight());
    move = Move(x, y, MoveChoice::NONE, shadow.getCurrentPlayer(), shadow.is_terminal());
    if (shadow.nextMove(move, false)) {
        return true;
    }
    move = Move();
    return shadow.nextMove(move, false);
}

void scriptMessage(Script& script, Game& shadow, Player own, FuzzInput& input) {
    const unsigned players = shadow.getNrPlayers();
    switch (input.below(10)) {
    case 3: {
        const std::uint32_t timelimit = timelimitOf(input);
        const std::uint8_t depthlimit = input.byte();
        script.bytes += wire::message(4, wire::u32(timelimit) + static_cast<char>(depthlimit));
        script.expected.push_back({shadow.getBoard().asSimpleString(),
                                   timelimit > 500 ? timelimit - 500 : timelimit, depthlimit});
        break;
    }
    case 4: {
        const std::uint16_t x = input.byte();
        const std::uint16_t y = input.byte();
        const auto choice = static_cast<MoveChoice>(input.byte());
        const auto player = static_cast<Player>(input.below(players + 2));
        script.bytes += announce(x, y, choice, player);
        if (player != Player::P_INVALID && static_cast<unsigned>(player) <= players) {
            shadow.makeMove(Move(x, y, choice, player, shadow.is_terminal()));
        }
        break;
    }
    case 5: {
        const auto player = static_cast<Player>(input.below(players + 2));
        script.bytes += wire::message(7, std::string(1, static_cast<char>(player)));
        if (player != own && static_cast<unsigned>(player) <= players) {
            shadow.disqualify(player);
        }
        break;
    }
    case 6:
        script.bytes += wire::message(8);
        if (!shadow.is_terminal()) {
            shadow.force_terminal();
        }
        break;
    case 7:
        script.bytes += wire::message(9);
        break;
    case 8: {
        const std::uint8_t value = input.byte();
        const std::string stray[] = {
            wire::message(1, std::string(1, static_cast<char>(value))),
            wire::message(2, std::string(fuzzing::FuzzMaps[value % fuzzing::FuzzMaps.size()])),
            wire::message(3, std::string(1, static_cast<char>(value))),
            wire::message(5, wire::u16(value) + wire::u16(value) + '\0'),
        };
        script.bytes += stray[value % 4];
        break;
    }
    case 9:
        script.reliable = std::min(script.reliable, script.expected.size());
        script.bytes += input.take(input.below(16));
        break;
    default: {
        Move move;
        if (legalMove(shadow, input, move)) {
            script.bytes += announce(move.x, move.y, move.choice, move.player);
            shadow.makeMove(move);
        }
        break;
    }
    }
}

// A valid opening on one of the maps, then the game; or everything from the input.
Script writeScript(FuzzInput& input) {
    Script script;
    const unsigned opening = input.below(static_cast<unsigned>(fuzzing::FuzzMaps.size()) + 1);
    const std::uint8_t playerByte = input.byte();
    if (opening == fuzzing::FuzzMaps.size()) {
        script.reliable = 0;
        script.bytes = input.rest();
        return script;
    }
    const std::string mapText(fuzzing::FuzzMaps[opening]);
    Map map;
    FUZZ_CHECK(map.loadFromString(mapText));
    // Numbers 0 and players + 1 are refused by the client.
    const auto own = static_cast<Player>(playerByte % (map.getPlayers() + 2));
    script.bytes = wire::message(2, mapText) + wire::message(3, std::string(1, char(own)));
    Game shadow(map, true);
    while (!input.empty()) {
        scriptMessage(script, shadow, own, input);
    }
    return script;
}

// Answers from its own run of decision bytes and compares what it is shown with the script.
class FuzzClient : public Client {
public:
    FuzzClient(FuzzInput decisions, const Script& script)
        : Client(Client::InteractiveGroupID), m_decisions(decisions), m_script(script) {}

    bool play(std::unique_ptr<TcpSocket> connection) { return runSession(std::move(connection)); }

protected:
    Move getMove(Game* game, unsigned int timelimit, unsigned int depthlimit) override {
        if (m_requests < m_script.reliable && m_requests < m_script.expected.size()) {
            const Expectation& expected = m_script.expected[m_requests];
            FUZZ_CHECK(game->getBoard().asSimpleString() == expected.board);
            FUZZ_CHECK(timelimit == expected.timelimit && depthlimit == expected.depthlimit);
        }
        ++m_requests;
        const std::uint8_t decision = m_decisions.byte();
        switch (decision % 4) {
        case 2: {
            const std::uint16_t x = m_decisions.byte();
            const std::uint16_t y = m_decisions.byte();
            const auto choice = static_cast<MoveChoice>(m_decisions.byte());
            return Move(x, y, choice, getPlayer(), game->is_terminal());
        }
        case 3:
            return Move();
        default: {
            Move move;
            if (game->nextMove(move, false)) {
                return move;
            }
            return Move(0, 0, MoveChoice::NONE, getPlayer(), game->is_terminal());
        }
        }
    }

private:
    FuzzInput m_decisions;
    const Script& m_script;
    std::size_t m_requests = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > MaxInput) {
        return 0;
    }
    fuzzing::logEverythingQuietly();
    FuzzInput input(data, size);
    const std::string decisions = input.take(input.byte());
    const Script script = writeScript(input);

    fuzzing::ScriptedPeer server;
    server.write(script.bytes);
    server.endStream();
    fuzzing::LevelTally tally(loggerConsole);
    FuzzClient client(
        FuzzInput(reinterpret_cast<const std::uint8_t*>(decisions.data()), decisions.size()),
        script);
    const bool finished = client.play(server.takeEnd());
    FUZZ_CHECK(finished == (tally.errors() == 0));
    return 0;
}
