// The console dialogue and the program's command line, through the real reversi-client.

#include <gtest/gtest.h>

#include "Config.hpp"
#include "tests/support/ClientHarness.hpp"

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
                 const std::vector<std::string>& extraArgs = {}) {
    Dialogue dialogue;
    ClientSession session(std::move(input), extraArgs);
    if (session.open(mapText, Player::P1)) {
        dialogue.answered = session.server.requestMove(1000, 0, dialogue.move);
        session.server.peer().send_fin();
    }
    dialogue.result = session.finish();
    return dialogue;
}

} // namespace

TEST(ClientConsole, CoordinatesAreAskedAgainUntilTheGameAcceptsThem) {
    // A letter, an occupied square, then both coordinates on one line.
    const auto d = askOnce(client_maps::Line, "a\n0 0\n2 0\n");
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
                                 "\n" + AskY + "Invalid move coordinates!\n" + AskX + "\n" + AskY +
                                 "[ INFO] ";
    EXPECT_NE(d.result.out.find(expected), std::string::npos) << d.result.out;
}

TEST(ClientConsole, SignedAndOversizedNumbersAreNeverWrapped) {
    // Wrapped into 16 bits, -65534 and 65538 would both name the legal square (2,0).
    for (const char* input : {"-65534 0\n", "65538 0\n", "2 -65536\n", "+2 0\n"}) {
        SCOPED_TRACE(input);
        const auto d = askOnce(client_maps::Line, input);
        EXPECT_FALSE(d.answered);
        EXPECT_EQ(d.result.exitStatus, 1);
        EXPECT_EQ(countOf(d.result.out, "Invalid move coordinates!"), 1u);
    }
}

TEST(ClientConsole, EndOfInput) {
    for (const char* input : {"", "2", "a", "0 0\n"}) {
        SCOPED_TRACE(input);
        const auto d = askOnce(client_maps::Line, input);
        EXPECT_FALSE(d.answered);
        EXPECT_EQ(d.result.exitStatus, 1);
        EXPECT_TRUE(hasLogLine(d.result.out, "ERROR",
                               "The specified move is invalid and will not be send. aborting."));
    }
    // A last answer without a line end still counts.
    const auto d = askOnce(client_maps::Line, "2 0");
    EXPECT_TRUE(d.answered);
    EXPECT_EQ(d.move.x, 2);
    EXPECT_EQ(d.result.exitStatus, 0);
}

TEST(ClientConsole, ChoiceSquareInAThreePlayerGame) {
    const auto d = askOnce(client_maps::Choice3, "0 0\n0\n4\n2\n");
    ASSERT_TRUE(d.answered) << d.result.out;
    EXPECT_EQ(d.move.x, 0);
    EXPECT_EQ(d.move.choice, static_cast<MoveChoice>(2));
    EXPECT_EQ(countOf(d.result.out, AskChoice), 3u);
    // The log line follows the answered question on the same line.
    EXPECT_EQ(countOf(d.result.out, AskChoice + "[ INFO] "), 1u);
    EXPECT_EQ(countOf(d.result.out, "Sent move to server: Player 1 (x,y)=(0,0) choice: 2\n"), 1u);
    // The last answer counts without a line end; a missing one gives up.
    EXPECT_EQ(askOnce(client_maps::Choice3, "0 0\n3").move.choice, static_cast<MoveChoice>(3));
    EXPECT_FALSE(askOnce(client_maps::Choice3, "0 0\n4").answered);
    EXPECT_FALSE(askOnce(client_maps::Choice3, "0 0").answered);
}

TEST(ClientConsole, BonusSquareChoice) {
    // 276 and -4294967276 would wrap to 20 (bomb) if they were not refused.
    const auto d = askOnce(client_maps::Bonus, "0 0\n276\n-4294967276\n1\nx\n21\n");
    ASSERT_TRUE(d.answered) << d.result.out;
    EXPECT_EQ(d.move.choice, MoveChoice::OVERRIDE);
    EXPECT_EQ(countOf(d.result.out, AskChoice), 5u);
}

TEST(ClientConsole, NoColoursIntoAPipe) {
    for (const auto& args : std::vector<std::vector<std::string>>{{}, {"--nocolor"}}) {
        const auto d = askOnce(client_maps::Line, "0 0\n2 0\n", args);
        EXPECT_NE(d.result.out.find("\nInvalid move coordinates!\n"), std::string::npos);
        EXPECT_EQ(d.result.out.find('\x1b'), std::string::npos);
    }
}

TEST(ClientConsole, GroupId) {
    struct Case {
        std::vector<std::string> args;
        int groupId;
    };
    for (const auto& c :
         {Case{{}, 255}, Case{{"-g", "7"}, 7}, Case{{"--group=0"}, 0}, Case{{"-g", "255"}, 255}}) {
        ClientSession session("", c.args);
        ASSERT_TRUE(session.server.accept());
        EXPECT_EQ(session.server.receiveGroupId(), c.groupId);
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
    const auto help = runProcess(clientProgram(), {"-h"}, ClientSession::ProcessLimit);
    EXPECT_NE(help.err.find("Usage: "), std::string::npos);
    EXPECT_NE(help.err.find("-s, --server"), std::string::npos);
    EXPECT_NE(help.err.find("-g, --group"), std::string::npos);
    const auto version = runProcess(clientProgram(), {"--version"}, ClientSession::ProcessLimit);
    EXPECT_EQ(version.err.rfind(std::string(REVERSI_VERSION) + " build ", 0), 0u);
}

TEST(ClientConsole, ClosedStandardOutputDoesNotKillTheProgram) {
    ProcessOptions options;
    options.closeOutput = true;
    ClientSession session("2 0\n", {}, options);
    ASSERT_TRUE(session.open(client_maps::Line, Player::P1));
    payload_move move{};
    session.server.requestMove(1000, 0, move);
    session.server.peer().send_fin();
    const auto result = session.finish();
    EXPECT_FALSE(result.signaled) << "signal " << result.signal;
    EXPECT_FALSE(result.timedOut);
}
