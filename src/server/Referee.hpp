// The referee of one match: it drives an active Game over the players' connections, asks the
// player on turn for a move, announces what happens to everybody still connected and
// disqualifies whoever times out, disconnects, sends something else than a move, or moves
// against the rules.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/Game.hpp"
#include "common/GameRecord.hpp"
#include "common/Map.hpp"
#include "common/Protocol.hpp"

// What the server grants each move request.
struct MoveLimits {
    // Milliseconds from sending the request until the move must have arrived; 0 = no limit.
    std::uint32_t timelimit = 0;
    std::uint8_t depthlimit = 0;
};

// Told of each event as soon as the referee has applied and recorded it (a move, a bomb throw
// or a disqualification), with the record so far. It runs on the referee's thread, so it must
// return at once; a program that follows games live sets one.
using RefereeObserver = std::function<void(const RecordEvent& event, const GameRecord& record)>;

// Owns the players' connections for the match; a seat is emptied when its player is gone.
class Referee {
public:
    // `seats[p - 1]` is player p's connection; a null entry is a seat whose player is gone.
    Referee(const Map& map, std::vector<std::unique_ptr<ProtoClient>> seats, MoveLimits limits,
            GameRecord& record);

    // Plays the match to its end and sends FIN to everybody still connected.
    void play();

    const Game& game() const { return m_game; }
    // None by default.
    void setObserver(RefereeObserver observer) { m_observer = std::move(observer); }

private:
    void playTurn(Player player);
    // Waits for the answer to a move request; false (with the reason) when there is none.
    bool awaitMove(ProtoClient& seat, payload_move& answer, std::string& reason);
    bool isLegal(const Move& move) const;
    void accept(const Move& move);
    void disqualify(Player player, const std::string& reason);
    void observe(const RecordEvent& event);
    void announceTerminal();

    // Sends to every connected seat; a seat whose send fails is dropped.
    template <typename Send>
    void broadcast(Send send);
    ProtoClient* seat(Player player) const;
    void drop(Player player);

    Game m_game;
    std::vector<std::unique_ptr<ProtoClient>> m_seats;
    MoveLimits m_limits;
    GameRecord& m_record;
    bool m_terminalSent = false;
    RefereeObserver m_observer;
};
