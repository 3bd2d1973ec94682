// Fuzz target: the protocol's receive path, fed a byte stream through a real socket pair. The
// first byte sets the peer's behaviour (it closes after its bytes, or it goes silent and the
// receives run with short time limits), the time rule, and whether the receiving socket's clock
// is always past the deadline; the second byte sets whether each receive asks for a particular
// type. The harness predicts every outcome from the bytes on its own (a complete message with a
// valid header arrives, anything else fails or times out), checks each typed
// read against its own decoding, and sends every message received back through the same
// endpoint: the bytes sent must equal the bytes received.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "common/Protocol.hpp"
#include "fuzz/support/FuzzCheck.hpp"
#include "fuzz/support/FuzzInput.hpp"
#include "fuzz/support/FuzzLog.hpp"
#include "fuzz/support/ScriptedPeer.hpp"
#include "fuzz/support/Wire.hpp"

namespace {

using fuzzing::FuzzInput;

// More than the socket buffer is never written, so the stream arrives whole.
constexpr std::size_t MaxInput = 64 * 1024;
// A limit that ends a receive from a silent peer quickly.
constexpr std::uint32_t ShortLimit = 2;
// A limit that a receive from a peer with complete messages never reaches.
constexpr std::uint32_t AmpleLimit = 60000;

std::uint32_t bigEndian(std::string_view bytes) {
    std::uint32_t value = 0;
    for (const char byte : bytes) {
        value = value << 8 | static_cast<unsigned char>(byte);
    }
    return value;
}

unsigned number(Player player) {
    return static_cast<unsigned>(player);
}

unsigned number(MoveChoice choice) {
    return static_cast<unsigned>(choice);
}

// Each typed read answers for its own type only, with the payload as the harness decodes it;
// then the message goes back out through the matching send.
void checkAndEcho(ProtoClient& proto, std::string_view message) {
    const auto type = static_cast<unsigned char>(message[0]);
    const std::string_view p = message.substr(5);
    const auto at = [&p](std::size_t i) { return static_cast<unsigned char>(p[i]); };
    payload_client_groupid group{};
    payload_client_playernum playernum{};
    payload_moverequest request{};
    payload_move move{};
    payload_moveannounce announce{};
    payload_disqualification disqualification{};
    std::string text;
    FUZZ_CHECK((proto.get_client_groupid(group) == MsgResult::OK) == (type == 1));
    FUZZ_CHECK((proto.get_gameboard(text) == MsgResult::OK) == (type == 2));
    FUZZ_CHECK((proto.get_client_playernum(playernum) == MsgResult::OK) == (type == 3));
    FUZZ_CHECK((proto.get_moverequest(request) == MsgResult::OK) == (type == 4));
    FUZZ_CHECK((proto.get_move(move) == MsgResult::OK) == (type == 5));
    FUZZ_CHECK((proto.get_moveannounce(announce) == MsgResult::OK) == (type == 6));
    FUZZ_CHECK((proto.get_disqualification(disqualification) == MsgResult::OK) == (type == 7));
    FUZZ_CHECK((proto.get_terminal() == MsgResult::OK) == (type == 8));
    FUZZ_CHECK((proto.get_fin() == MsgResult::OK) == (type == 9));
    bool sent = false;
    switch (type) {
    case 1:
        FUZZ_CHECK(group.groupid == at(0));
        sent = proto.send_client_groupid(group.groupid);
        break;
    case 2:
        FUZZ_CHECK(text == p);
        sent = proto.send_gameboard(text);
        break;
    case 3:
        FUZZ_CHECK(number(playernum.player) == at(0));
        sent = proto.send_client_playernum(playernum.player);
        break;
    case 4:
        FUZZ_CHECK(request.timelimit == bigEndian(p.substr(0, 4)) && request.depthlimit == at(4));
        sent = proto.send_moverequest(request.timelimit, request.depthlimit);
        break;
    case 5:
        FUZZ_CHECK(move.x == bigEndian(p.substr(0, 2)) && move.y == bigEndian(p.substr(2, 2)) &&
                   number(move.choice) == at(4));
        sent = proto.send_move(move.x, move.y, move.choice);
        break;
    case 6:
        FUZZ_CHECK(announce.x == bigEndian(p.substr(0, 2)) &&
                   announce.y == bigEndian(p.substr(2, 2)) && number(announce.choice) == at(4) &&
                   number(announce.player) == at(5));
        sent = proto.send_moveannounce(announce.x, announce.y, announce.choice, announce.player);
        break;
    case 7:
        FUZZ_CHECK(number(disqualification.player) == at(0));
        sent = proto.send_disqualification(disqualification.player);
        break;
    case 8:
        sent = proto.send_terminal();
        break;
    default:
        sent = proto.send_fin();
        break;
    }
    FUZZ_CHECK(sent);
}

// After a failed receive no message is held.
void checkNothingHeld(ProtoClient& proto) {
    payload_move move{};
    std::string text;
    FUZZ_CHECK(proto.get_move(move) == MsgResult::TYPE);
    FUZZ_CHECK(proto.get_gameboard(text) == MsgResult::TYPE);
    FUZZ_CHECK(proto.get_terminal() == MsgResult::TYPE);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > MaxInput) {
        return 0;
    }
    fuzzing::logEverythingQuietly();
    FuzzInput input(data, size);
    const std::uint8_t behaviour = input.byte();
    const std::uint8_t asks = input.byte();
    const bool silent = behaviour % 16 == 15;
    const bool timed = (behaviour & 0x10) != 0;
    const TimeRule rule = (behaviour & 0x20) != 0 ? TimeRule::BY_ARRIVAL : TimeRule::STRICT;
    const bool late = (behaviour & 0x40) != 0;
    const std::string stream = input.rest();

    fuzzing::ScriptedPeer peer;
    peer.write(stream);
    if (!silent) {
        peer.endStream();
    }
    std::unique_ptr<TcpSocket> end = peer.takeEnd();
    if (late) {
        end->setClock(
            [now = SocketClock::now()]() mutable { return now += std::chrono::hours(1); });
    }
    ProtoClient proto(end.release());
    std::string_view unread = stream;
    std::string accepted;
    for (unsigned i = 0;; ++i) {
        const std::string_view message = fuzzing::wire::frontMessage(unread);
        const bool check = (asks >> (i % 8) & 1) != 0;
        const auto asked = static_cast<MsgType>(1 + (i + asks) % 9);
        // A silent peer needs a limit wherever the message is incomplete. Where the bytes are
        // all there the strict rule needs an ample limit: it runs out even on waiting data when
        // the process is not scheduled for that long, and fuzzing runs on loaded machines too.
        // Judged by arrival, or on a clock that is always late, the outcome does not depend on
        // the limit.
        const bool corrupt = fuzzing::wire::corruptHeader(unread);
        const bool incomplete = message.empty() && !corrupt;
        const bool byClock = rule == TimeRule::BY_ARRIVAL || late;
        const std::uint32_t limit = !timed && !silent                   ? 0
                                    : byClock || (silent && incomplete) ? ShortLimit
                                                                        : AmpleLimit;
        // Once the header has spent the limit, the strict rule leaves any payload unread.
        const bool givesUp = late && limit != 0 && rule == TimeRule::STRICT && unread.size() >= 5 &&
                             !corrupt && bigEndian(unread.substr(1, 4)) != 0;
        MsgType type = asked;
        const MsgResult result = proto.receive_msg(type, check, limit, rule);
        if (message.empty() || givesUp) {
            // A refused header fails at once; an incomplete message ends with the stream, or
            // with the limit when the peer goes silent or the strict rule gives up.
            FUZZ_CHECK(result ==
                       (givesUp || (silent && incomplete) ? MsgResult::TIMEOUT : MsgResult::FAIL));
            FUZZ_CHECK(type == MsgType::FAIL);
            checkNothingHeld(proto);
            break;
        }
        const auto received = static_cast<MsgType>(message[0]);
        const bool other = check && received != asked;
        FUZZ_CHECK(result == (other ? MsgResult::TYPE : MsgResult::OK));
        FUZZ_CHECK(type == (other ? asked : received));
        checkAndEcho(proto, message);
        accepted.append(message);
        unread.remove_prefix(message.size());
    }
    FUZZ_CHECK(peer.readAvailable() == accepted);
    return 0;
}
