// The client whose moves a person types in at the console.
#pragma once

#include "client/Client.hpp"

// Shows the board, asks for the coordinates (and the extra choice where the square needs
// one) and returns the move once the local game accepts it.
class ConsoleClient : public Client {
public:
    ConsoleClient() : Client(Client::InteractiveGroupID) {}

protected:
    // The limits are not used: the person may take as long as they like.
    Move getMove(Game* game, unsigned int timelimit, unsigned int depthlimit) override;
};
