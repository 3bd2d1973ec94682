// Fuzz target: what the lobby reads from a new connection before it seats it, over socket pairs.
// The input draws a map pool and a row of connections, each sending a well-formed group id,
// a group id with bytes after it, another type or length, or raw bytes (garbage, a cut-off
// header), then ending its stream, closing at once or (after a whole group id) staying open.
// Each connection must be accepted with exactly the byte it sent when its first bytes are a
// CLIENT_GROUPID message, and refused otherwise. An accepted one that ended after its group id
// must count as gone for the waiting queue; one that stays open, or ends its stream with bytes
// still unread, as waiting. The waiting group ids then fill the pool's games as the lobby's
// queue does: every game takes as many distinct waiting clients as its map has players, as
// many groups as possible among them, until the queue can fill no map.
// libFuzzer: -max_len=512
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/support/FuzzCheck.hpp"
#include "fuzz/support/FuzzInput.hpp"
#include "fuzz/support/FuzzLog.hpp"
#include "fuzz/support/ScriptedPeer.hpp"
#include "fuzz/support/Wire.hpp"
#include "lobby/Pairing.hpp"
#include "server/GameServer.hpp"

namespace {

using fuzzing::FuzzInput;
namespace wire = fuzzing::wire;

constexpr std::size_t MaxConnections = 16;

// The bytes one connection sends before its stream ends.
std::string scriptBytes(FuzzInput& input) {
    switch (input.below(4)) {
    case 0:
        return wire::message(1, std::string(1, static_cast<char>(input.byte())));
    case 1: {
        const std::string group = wire::message(1, std::string(1, static_cast<char>(input.byte())));
        return group + input.take(input.below(8));
    }
    case 2: {
        const std::uint8_t type = input.byte();
        return wire::message(type, input.take(input.below(8)));
    }
    default:
        return input.take(input.below(16));
    }
}

// The group id the harness reads from the bytes itself: a type 1 header of length 1 and its byte.
std::optional<std::uint8_t> expectedGroup(std::string_view bytes) {
    if (bytes.size() < 6 || bytes.substr(0, 5) != std::string_view("\1\0\0\0\1", 5)) {
        return std::nullopt;
    }
    return static_cast<std::uint8_t>(bytes[5]);
}

// How a connection's script ends. A peer stays open only after a whole group id, so that the
// greeting never waits for it.
enum class End { STREAM_END, CLOSE, OPEN };

// One connection through the lobby's greeting; its group id when it was accepted and still
// waits, as the queue sees it.
std::optional<unsigned> greetOne(FuzzInput& input) {
    fuzzing::ScriptedPeer peer;
    const std::string bytes = scriptBytes(input);
    const auto expected = expectedGroup(bytes);
    auto end = static_cast<End>(input.below(3));
    if (end == End::OPEN && !expected) {
        end = End::STREAM_END;
    }
    peer.write(bytes);
    if (end == End::CLOSE) {
        peer.close();
    } else if (end == End::STREAM_END) {
        peer.endStream();
    }
    TcpSocket* socket = peer.takeEnd().release();
    ProtoClient client(socket);
    const auto group = GameServer::receiveGroupId(client);
    FUZZ_CHECK(group == expected);
    if (!group) {
        return std::nullopt;
    }
    const bool gone = socket->peerGone();
    const bool nothingMore = bytes.size() == 6;
    FUZZ_CHECK(end != End::OPEN || !gone);
    FUZZ_CHECK(end == End::OPEN || !nothingMore || gone);
    FUZZ_CHECK(end != End::STREAM_END || nothingMore || !gone);
    return gone ? std::nullopt : std::optional<unsigned>(*group);
}

std::size_t groupCount(const std::vector<unsigned>& groups) {
    return std::set<unsigned>(groups.begin(), groups.end()).size();
}

// Starts games from the queue as the lobby does until no map can be filled.
void pairAll(const std::vector<unsigned>& players, std::vector<unsigned> queue) {
    MapRotation rotation(players);
    while (const auto pairing = rotation.next(queue)) {
        FUZZ_CHECK(pairing->map < players.size());
        const auto& chosen = pairing->chosen;
        FUZZ_CHECK(chosen.size() == players[pairing->map]);
        FUZZ_CHECK(std::adjacent_find(chosen.begin(), chosen.end(), std::greater_equal<>()) ==
                   chosen.end());
        FUZZ_CHECK(chosen.back() < queue.size());
        const std::size_t waitingGroups = groupCount(queue);
        std::vector<unsigned> seated;
        for (auto it = chosen.rbegin(); it != chosen.rend(); ++it) {
            seated.push_back(queue[*it]);
            queue.erase(queue.begin() + static_cast<std::ptrdiff_t>(*it));
        }
        FUZZ_CHECK(groupCount(seated) == std::min(seated.size(), waitingGroups));
    }
    FUZZ_CHECK(queue.size() < *std::min_element(players.begin(), players.end()));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzing::logEverythingQuietly();
    FuzzInput input(data, size);
    std::vector<unsigned> players(1 + input.below(3));
    for (unsigned& count : players) {
        count = 2 + input.below(7);
    }
    std::vector<unsigned> queue;
    for (std::size_t c = 0; c < MaxConnections && !input.empty(); ++c) {
        if (const auto group = greetOne(input)) {
            queue.push_back(*group);
        }
    }
    pairAll(players, queue);
    return 0;
}
