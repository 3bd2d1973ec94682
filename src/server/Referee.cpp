#include "server/Referee.hpp"

#include <sstream>

#include "common/Logging.hpp"

namespace {

unsigned number(Player player) {
    return static_cast<unsigned>(player);
}

} // namespace

Referee::Referee(const Map& map, std::vector<std::unique_ptr<ProtoClient>> seats, MoveLimits limits,
                 GameRecord& record)
    : m_game(map, false), m_seats(std::move(seats)), m_limits(limits), m_record(record) {}

void Referee::play() {
    while (!m_game.is_final()) {
        announceTerminal();
        playTurn(m_game.getCurrentPlayer());
    }
    LOG(loggerServer, INFO) << "Game over after " << m_game.get_movenumber() << " moves";
    broadcast([](ProtoClient& client) { return client.send_fin(); });
}

// One request and its answer. The time limit runs from the moment the request is out: the
// socket layer counts one budget down over every byte of the answer. An answer is judged by
// when its bytes arrived, not by when the server got round to reading them.
void Referee::playTurn(Player player) {
    ProtoClient* client = seat(player);
    if (client == nullptr) {
        disqualify(player, "disconnected");
        return;
    }
    if (!client->send_moverequest(m_limits.timelimit, m_limits.depthlimit)) {
        disqualify(player, "disconnected");
        return;
    }
    payload_move answer{};
    std::string reason;
    if (!awaitMove(*client, answer, reason)) {
        disqualify(player, reason);
        return;
    }
    const Move move(answer.x, answer.y, answer.choice, player, m_game.is_terminal());
    if (!isLegal(move)) {
        std::ostringstream text;
        text << "illegal move (" << move.x << "," << move.y << ") choice " << move.choice;
        disqualify(player, text.str());
        return;
    }
    accept(move);
}

bool Referee::awaitMove(ProtoClient& client, payload_move& answer, std::string& reason) {
    MsgType type = MsgType::MOVE;
    const MsgResult result =
        client.receive_msg(type, true, m_limits.timelimit, TimeRule::BY_ARRIVAL);
    switch (result) {
    case MsgResult::OK:
        client.get_move(answer);
        return true;
    case MsgResult::TIMEOUT:
        reason = "no move within the time limit";
        return false;
    case MsgResult::TYPE:
        reason = "sent another message than a move";
        return false;
    default:
        reason = "connection lost or corrupt message";
        return false;
    }
}

// The referee tests the move first and disqualifies an illegal mover itself, so that the record
// and the broadcast name the reason.
bool Referee::isLegal(const Move& move) const {
    return m_game.checkMove(move, true);
}

void Referee::accept(const Move& move) {
    m_game.makeMove(move);
    m_record.writeMove(move);
    observe(RecordEvent{RecordEvent::Kind::MOVE, move.player, move.x, move.y, move.choice, ""});
    broadcast([&move](ProtoClient& client) {
        return client.send_moveannounce(move.x, move.y, move.choice, move.player);
    });
}

// Everybody still connected hears of the disqualification, the player included; then its
// connection is closed, since it takes no further part.
void Referee::disqualify(Player player, const std::string& reason) {
    LOG(loggerServer, INFO) << "Disqualifying player " << player << ": " << reason;
    m_game.disqualify(player);
    m_record.writeDisqualification(player, reason);
    observe(RecordEvent{RecordEvent::Kind::DISQUALIFY, player, 0, 0, MoveChoice::NONE, reason});
    broadcast([player](ProtoClient& client) { return client.send_disqualification(player); });
    drop(player);
}

void Referee::observe(const RecordEvent& event) {
    if (m_observer) {
        m_observer(event, m_record);
    }
}

// The bomb phase is announced once, as soon as the game has entered it.
void Referee::announceTerminal() {
    if (m_terminalSent || !m_game.is_terminal()) {
        return;
    }
    m_terminalSent = true;
    LOG(loggerServer, INFO) << "Build phase over, bomb phase begins";
    broadcast([](ProtoClient& client) { return client.send_terminal(); });
}

template <typename Send>
void Referee::broadcast(Send send) {
    for (std::size_t i = 0; i < m_seats.size(); ++i) {
        if (m_seats[i] != nullptr && !send(*m_seats[i])) {
            const auto player = static_cast<Player>(i + 1);
            LOG(loggerServer, WARN) << "Lost connection to player " << player;
            drop(player);
        }
    }
}

ProtoClient* Referee::seat(Player player) const {
    const unsigned index = number(player) - 1;
    return index < m_seats.size() ? m_seats[index].get() : nullptr;
}

void Referee::drop(Player player) {
    const unsigned index = number(player) - 1;
    if (index < m_seats.size()) {
        m_seats[index].reset();
    }
}
