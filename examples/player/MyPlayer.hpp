// A player of its own: a Client that answers each move request with the legal move whose
// position one move later scores best for it, by the SDK's static evaluation.
#pragma once

#include "client/Client.hpp"

class MyPlayer : public Client {
public:
    MyPlayer() : Client(0) {}

protected:
    // Called on every move request with the game as the server announced it; the time limit
    // already has the client's safety offset taken off. An invalid Move ends the session.
    Move getMove(Game* game, unsigned int timelimit, unsigned int depthlimit) override;
};
