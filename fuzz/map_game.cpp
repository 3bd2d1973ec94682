// Fuzz target: the map reader, and on a map it accepts, a refereed game driven by the rest of
// the input. The input is the map text, a zero byte, then the game's decisions: legal moves
// picked by position, arbitrary moves (wrong player, off the board, any choice), moves of the
// game's own generator and disqualifications. After every step the cheap invariants hold:
// stone counts equal a recount, a running game has a player on turn who takes part and can
// act, and the phase only moves forward.
// libFuzzer: -max_len=2048
#include <array>
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "common/Game.hpp"
#include "common/GameBoard.hpp"
#include "common/Map.hpp"
#include "fuzz/support/FuzzCheck.hpp"
#include "fuzz/support/FuzzInput.hpp"
#include "fuzz/support/FuzzLog.hpp"

namespace {

using fuzzing::FuzzInput;

// The writer's text of a valid map reads back into a map that writes the same text.
void checkRoundTrip(const Map& map) {
    std::ostringstream first;
    first << map;
    Map again;
    FUZZ_CHECK(again.loadFromString(first.str()));
    std::ostringstream second;
    second << again;
    FUZZ_CHECK(first.str() == second.str());
}

void checkCounts(const GameBoard& board) {
    std::array<std::uint32_t, 9> counted{};
    for (std::uint32_t i = 0; i < board.getBoardSize(); ++i) {
        const auto square = static_cast<unsigned>(board.get_square(static_cast<index_t>(i)));
        if (square >= 1 && square <= 8) {
            ++counted[square];
        }
    }
    for (unsigned colour = 1; colour <= 8; ++colour) {
        FUZZ_CHECK(board.getBoardCounts()[colour] == counted[colour]);
    }
}

unsigned phaseOf(const Game& game) {
    return game.is_final() ? 2 : game.is_terminal() ? 1 : 0;
}

// The player on turn of a running game takes part and has a move.
void checkTurn(const Game& game) {
    if (game.is_final()) {
        return;
    }
    const Player player = game.getCurrentPlayer();
    const auto number = static_cast<unsigned>(player);
    FUZZ_CHECK(number >= 1 && number <= game.getNrPlayers());
    FUZZ_CHECK(!game.is_disqualified(player));
}

// The first legal move at or after the square the input names, else from the first square.
Move legalMoveNear(Game& game, FuzzInput& input) {
    const Map& map = game.getMap();
    const auto x = static_cast<std::uint16_t>(input.byte() % map.getWidth());
    const auto y = static_cast<std::uint16_t>(input.byte() % map.getHeight());
    Move move(x, y, MoveChoice::NONE, game.getCurrentPlayer(), game.is_terminal());
    if (game.nextMove(move, false)) {
        return move;
    }
    Move first;
    FUZZ_CHECK(game.nextMove(first, false));
    return first;
}

void playLegal(Game& game, FuzzInput& input) {
    Move move = legalMoveNear(game, input);
    // Another choice for the same square, where the square has one.
    const std::uint8_t choice = input.byte();
    Move chosen = move;
    chosen.choice = static_cast<MoveChoice>(choice % 24);
    if (game.checkMove(chosen, true)) {
        move = chosen;
    }
    FUZZ_CHECK(game.checkMove(move, true));
    FUZZ_CHECK(game.makeMove(move));
}

// Anything at all; a move the referee's check accepts must be played.
void playArbitrary(Game& game, FuzzInput& input) {
    const bool far = input.byte() % 8 == 0;
    const std::uint16_t x = far ? input.u16() : input.byte();
    const std::uint16_t y = far ? input.u16() : input.byte();
    const auto choice = static_cast<MoveChoice>(input.byte());
    // Built field by field, as the network hands a move over: the constructor refuses a move
    // without a player.
    Move move;
    move.x = x;
    move.y = y;
    move.choice = choice;
    move.player = static_cast<Player>(input.byte() % 10);
    move.terminal = game.is_terminal() != (input.byte() % 16 == 0);
    const bool legal = game.checkMove(move, true);
    const bool played = game.makeMove(move);
    FUZZ_CHECK(!legal || played);
}

void step(Game& game, FuzzInput& input) {
    switch (input.byte() % 8) {
    case 5:
        playArbitrary(game, input);
        break;
    case 6:
        game.disqualify(static_cast<Player>(input.byte() % 10));
        break;
    case 7: {
        Move move;
        FUZZ_CHECK(game.nextMove(move, true));
        break;
    }
    default:
        playLegal(game, input);
        break;
    }
}

void play(const Map& map, FuzzInput& input) {
    Game game(map, false);
    checkCounts(game.getBoard());
    checkTurn(game);
    while (!input.empty() && !game.is_final()) {
        const unsigned before = phaseOf(game);
        step(game, input);
        FUZZ_CHECK(phaseOf(game) >= before);
        checkCounts(game.getBoard());
        checkTurn(game);
    }
    int scores[8] = {};
    game.get_scores(scores);
    const std::string status = game.getStatus();
    const std::string board = game.getBoard().asString(game.getCurrentPlayer(), true, true);
    FUZZ_CHECK(!status.empty() && !board.empty());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzing::logEverythingQuietly();
    FuzzInput input(data, size);
    Map map;
    if (!map.loadFromString(input.until('\0'))) {
        return 0;
    }
    checkRoundTrip(map);
    play(map, input);
    return 0;
}
