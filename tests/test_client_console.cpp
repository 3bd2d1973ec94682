// The console dialogue and the program's command line, through the real reversi-client, and
// the one thing a pipe cannot show: the error line in colour.

#include <sstream>
#include <utility>

#include <gtest/gtest.h>

#include "Config.hpp"
#include "client/consoleClient.hpp"
#include "common/colors.hpp"
#include "tests/support/ScriptedServer.hpp"
#include "tests/support/TestPaths.hpp"

using namespace testing_support;

namespace {

const std::string AskX = "Please input the X coordinate of the move you would like to make: ";
const std::string AskY = "Please input the Y coordinate of the move you would like to make: ";
const std::string AskChoice =
    "Please enter valid choice (1-8 for player swap, 20 for bomb, 21 for override): ";

// The person's answers to one move request on `mapText` as player 1.
struct Dialogue {
    ProcessResult result;
    bool answered = false;
    payload_move move{};
};

Dialogue askOnce(const char* mapText, std::string input,
                 const std::vector<std::string>& extraArgs = {}, bool closeOutput = false) {
    Dialogue dialogue;
    ClientSession session(std::move(input), extraArgs, closeOutput);
    if (session.open(mapText, Player::P1)) {
        dialogue.answered = session.server.requestMove(1000, 0, dialogue.move);
        session.server.proto().send_fin();
    }
    dialogue.result = session.finish();
    return dialogue;
}

} // namespace

// A letter, an occupied square, then both coordinates on one line; into a pipe without colours,
// whether or not --nocolor asks for that.
TEST(ClientConsole, CoordinatesAreAskedAgainUntilTheGameAcceptsThem) {
    for (const auto& args : std::vector<std::vector<std::string>>{{}, {"--nocolor"}}) {
        const auto d = askOnce(client_maps::Line, "a\n0 0\n2 0\n", args);
        ASSERT_TRUE(d.answered) << d.result.out;
        EXPECT_EQ(d.move.x, 2);
        EXPECT_EQ(d.move.y, 0);
        EXPECT_EQ(d.result.exitStatus, 0);
        const std::string expected = "Current gameboard:\n"
                                     R"(     0  1  2  
   /----------
0  | 1  2  0' 
)"
                                     "\n" +
                                     AskX + "\n" + AskY + "\nInvalid move coordinates!\n" + AskX +
                                     "\n" + AskY + "Invalid move coordinates!\n" + AskX + "\n" +
                                     AskY + "[ INFO] ";
        EXPECT_NE(d.result.out.find(expected), std::string::npos) << d.result.out;
        EXPECT_EQ(d.result.out.find('\x1b'), std::string::npos);
    }
}

// Into a pipe colours are off, so the console player is asked directly, its standard streams
// replaced by strings.
TEST(ClientConsole, ErrorLineIsRedWithColours) {
    struct Console : ConsoleClient {
        using ConsoleClient::getMove;
        using ConsoleClient::m_playerNum;
    } console;
    console.m_playerNum = Player::P1;
    Map map;
    ASSERT_TRUE(map.loadFromString(client_maps::Line));
    Game game(map, true);
    std::istringstream in("0 0\n2 0\n");
    std::ostringstream out;
    auto* oldIn = std::cin.rdbuf(in.rdbuf());
    auto* oldOut = std::cout.rdbuf(out.rdbuf());
    const bool saved = std::exchange(ansi::enableColor, true);
    console.getMove(&game, 0, 0);
    ansi::enableColor = saved;
    std::cin.rdbuf(oldIn);
    std::cout.rdbuf(oldOut);
    EXPECT_NE(out.str().find("\n\x1b[;31mInvalid move coordinates!\x1b[m\n"), std::string::npos)
        << out.str();
}

// Signed or oversized numbers are refused, never wrapped: in 16 bits -65534 and 65538 would
// both name the legal square (2,0). At the end of input an invalid move ends the session
// unsent; a last answer without a line end still counts.
TEST(ClientConsole, RefusedNumbersAndEndOfInput) {
    const std::pair<const char*, std::size_t> cases[] = {
        {"-65534 0\n", 1}, {"65538 0\n", 1}, {"2 -65536\n", 1}, {"+2 0\n", 1},
        {"", 0},           {"2", 0},         {"a", 1},          {"0 0\n", 1}};
    for (const auto& [input, refusals] : cases) {
        SCOPED_TRACE(input);
        const auto d = askOnce(client_maps::Line, input);
        EXPECT_FALSE(d.answered);
        EXPECT_EQ(d.result.exitStatus, 1);
        EXPECT_EQ(countOf(d.result.out, "Invalid move coordinates!"), refusals);
        EXPECT_TRUE(hasLogLine(d.result.out, "ERROR",
                               "The specified move is invalid and will not be send. aborting."));
    }
    const auto d = askOnce(client_maps::Line, "2 0");
    EXPECT_TRUE(d.answered);
    EXPECT_EQ(d.move.x, 2);
    EXPECT_EQ(d.result.exitStatus, 0);
}

// The choice question on a choice square of a 3-player game (0 and 4 are no player) and on a
// bonus square, where 276 and -4294967276 would wrap to 20 (bomb) if they were not refused.
TEST(ClientConsole, ChoiceQuestion) {
    const auto d = askOnce(client_maps::Choice3, "0 0\n0\n4\n2\n");
    ASSERT_TRUE(d.answered) << d.result.out;
    EXPECT_EQ(d.move.x, 0);
    EXPECT_EQ(d.move.choice, static_cast<MoveChoice>(2));
    EXPECT_EQ(countOf(d.result.out, AskChoice), 3u);
    // The log line follows the answered question on the same line.
    EXPECT_EQ(countOf(d.result.out, AskChoice + "[ INFO] "), 1u);
    EXPECT_EQ(countOf(d.result.out, "Sent move to server: Player 1 (x,y)=(0,0) choice: 2\n"), 1u);
    // The last answer counts without a line end; a missing or invalid one gives up.
    EXPECT_EQ(askOnce(client_maps::Choice3, "0 0\n3").move.choice, static_cast<MoveChoice>(3));
    EXPECT_FALSE(askOnce(client_maps::Choice3, "0 0\n4").answered);
    EXPECT_FALSE(askOnce(client_maps::Choice3, "0 0").answered);

    const auto bonus = askOnce(client_maps::Bonus, "0 0\n276\n-4294967276\n1\nx\n21\n");
    ASSERT_TRUE(bonus.answered) << bonus.result.out;
    EXPECT_EQ(bonus.move.choice, MoveChoice::OVERRIDE);
    EXPECT_EQ(countOf(bonus.result.out, AskChoice), 5u);
}

TEST(ClientConsole, GroupId) {
    for (const auto& [args, groupId] : std::vector<std::pair<std::vector<std::string>, int>>{
             {{}, 255}, {{"-g", "7"}, 7}, {{"--group=0"}, 0}, {{"-g", "255"}, 255}}) {
        ClientSession session("", args);
        ASSERT_TRUE(session.server.accept());
        EXPECT_EQ(session.server.receiveGroupId(), groupId);
        session.server.disconnect();
        EXPECT_EQ(session.finish().exitStatus, 1);
    }
}

TEST(ClientConsole, CommandLinesThatEndBeforeConnecting) {
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"--help"}, {"-v"}, {"-g", "256"}, {"-g", "-1"}, {"-g", "x"}, {"-p", "70000"}}) {
        SCOPED_TRACE(args.front() + " " + args.back());
        ClientSession session("", args);
        const auto result = session.finish();
        EXPECT_EQ(result.exitStatus, 1);
        EXPECT_FALSE(session.server.accept(std::chrono::milliseconds(50)));
        EXPECT_FALSE(result.err.empty());
    }
    const auto help = runProcess(programPath("reversi-client"), {"-h"}, ClientLimit);
    for (const char* part : {"Usage: ", "-s, --server", "-g, --group"}) {
        EXPECT_NE(help.err.find(part), std::string::npos) << part;
    }
    const auto version = runProcess(programPath("reversi-client"), {"--version"}, ClientLimit);
    EXPECT_EQ(version.err.rfind(std::string(REVERSI_VERSION) + " build ", 0), 0u);
}

// A closed standard output may end the program, never kill it (a time-out would kill it too).
TEST(ClientConsole, ClosedStandardOutputDoesNotKillTheProgram) {
    EXPECT_EQ(askOnce(client_maps::Line, "2 0\n", {}, true).result.signal, 0);
}
