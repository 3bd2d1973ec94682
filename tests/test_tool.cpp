// The program frame: help, version and error texts on standard error, running only after a
// successful init, and the colour rule.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <iostream>
#include <pty.h>
#include <regex>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "Config.hpp"
#include "common/Tool.hpp"
#include "common/colors.hpp"

namespace {

// A program with one option of its own, added the way the real programs add theirs.
class CountingTool : public Tool {
public:
    std::uint8_t things = 1;
    int runs = 0;

protected:
    bool doRun() override { return ++runs > 0; }

    bool parseOptions(OPTA::ArgumentParser& parser) override {
        OPTA::VariableArgument<std::uint8_t> count(things, "How many things to &count");
        parser.arguments().add(count.valuename("number"));
        return Tool::parseOptions(parser);
    }
};

// Runs init and run on the words: "init " and "run " for each that succeeded, then what went to
// standard error.
std::string runTool(CountingTool& tool, const std::vector<std::string>& words) {
    std::vector<const char*> argv{"tool"};
    for (const std::string& word : words) {
        argv.push_back(word.c_str());
    }
    std::ostringstream err;
    std::streambuf* saved = std::cerr.rdbuf(err.rdbuf());
    const bool init = tool.init(static_cast<int>(argv.size()), argv.data());
    const bool run = tool.run();
    std::cerr.rdbuf(saved);
    return std::string(init ? "init " : "") + (run ? "run " : "") + err.str();
}

// Init with the words, standard output on a terminal or on /dev/null, and NO_COLOR set to the
// given text (null: unset) must turn colours on or off as expected, starting from the opposite.
void expectColor(bool expected, bool terminal, const char* noColor,
                 const std::vector<std::string>& words = {}) {
    noColor != nullptr ? setenv("NO_COLOR", noColor, 1) : unsetenv("NO_COLOR");
    int master = -1;
    int target = open("/dev/null", O_WRONLY);
    if (terminal) {
        close(target);
        ASSERT_EQ(openpty(&master, &target, nullptr, nullptr, nullptr), 0);
    }
    std::cout.flush();
    std::fflush(stdout);
    const int saved = dup(STDOUT_FILENO);
    dup2(target, STDOUT_FILENO);
    ansi::enableColor = !expected;
    CountingTool tool;
    EXPECT_EQ(runTool(tool, words), "init run ");
    EXPECT_EQ(ansi::enableColor, expected) << terminal << " " << (noColor ? noColor : "unset");
    dup2(saved, STDOUT_FILENO);
    close(saved);
    close(target);
    if (terminal) {
        close(master);
    }
    unsetenv("NO_COLOR");
    ansi::enableColor = false;
}

const std::string helpText =
    R"(Usage: tool [ -c number ] [ -l filename ] [ --nocolor ] [ -h ] [ -v ]

Arguments:
  -c, --count    How many things to count

Basic options:
  -l, --log      File to load log settings from
  --nocolor      Disable ANSI colors when printing
  -h, --help     Show this help text
  -v, --version  Show version information

)";

// Help stops parsing at once, so an unknown option after it is not reported; every stop and
// every mistake leaves init false and the program unrun.
TEST(Tool, HelpAndErrorsStopBeforeRunning) {
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"-h", "--frobnicate"}, helpText},
        {{"--help"}, helpText},
        {{"-c", "3", "-h"}, helpText},
        {{"--frobnicate", "-h"}, "The named argument frobnicate is unknown\n"},
        {{"--nocolor", "--nocolor"}, "Argument --nocolor can only be set once\n"},
        {{"--nocolor=1"}, "Argument --nocolor does not accept a value\n"},
        {{"-c", "256"}, "Argument -c number does not accept the value 256\n"},
    };
    for (const auto& [words, err] : cases) {
        CountingTool tool;
        EXPECT_EQ(runTool(tool, words), err) << words.front();
        EXPECT_EQ(tool.runs, 0);
    }
}

TEST(Tool, VersionShowsLabelAndBuildDate) {
    EXPECT_EQ(std::string(Tool::Version), REVERSI_VERSION);
    const std::regex shape(std::string(REVERSI_VERSION) +
                           " build [A-Z][a-z]{2} [ 123][0-9] [0-9]{4}\n");
    for (const std::string word : {"--version", "-v"}) {
        CountingTool tool;
        const std::string err = runTool(tool, {word, "--frobnicate"});
        EXPECT_TRUE(std::regex_match(err, shape)) << err;
        EXPECT_EQ(tool.runs, 0);
    }
}

TEST(Tool, RunsOnlyAfterSuccessfulInit) {
    CountingTool fresh;
    EXPECT_FALSE(fresh.run());
    CountingTool empty;
    EXPECT_FALSE(empty.init(0, nullptr));
    EXPECT_FALSE(empty.run());

    CountingTool tool;
    EXPECT_EQ(runTool(tool, {"--count=12", "--log", "unused.cfg"}), "init run ");
    EXPECT_EQ(tool.things, 12);
    EXPECT_EQ(tool.runs, 1);
}

// The declarations reach the inspector without a command line being read: the program's own
// option and the common ones, nothing on standard error, and the program not made runnable
// (not even after a successful init); a later init reads its command line as usual.
TEST(Tool, DeclareOptionsHandsOverTheDeclarationsWithoutParsing) {
    CountingTool tool;
    EXPECT_EQ(runTool(tool, {}), "init run ");
    std::string idents;
    std::ostringstream err;
    std::streambuf* saved = std::cerr.rdbuf(err.rdbuf());
    tool.declareOptions([&idents](OPTA::ArgumentParser& parser) {
        for (const auto& [set, arg] : parser.declared()) {
            idents += arg->ident() + ";";
        }
    });
    std::cerr.rdbuf(saved);
    EXPECT_EQ(idents, "-c, --count;-l, --log;--nocolor;-h, --help;-v, --version;");
    EXPECT_EQ(err.str(), "");
    EXPECT_FALSE(tool.run());
    EXPECT_EQ(runTool(tool, {"-c", "7"}), "init run ");
    EXPECT_EQ(tool.things, 7);
    EXPECT_EQ(tool.runs, 2);
}

// Colours are on only when standard output is a terminal, or CLICOLOR_FORCE is set and not 0,
// and NO_COLOR is unset or empty; --nocolor turns them off.
TEST(Tool, ColoursOnlyOnATerminalOrForcedUnlessRefused) {
    expectColor(true, true, nullptr);
    expectColor(true, true, "");
    expectColor(false, true, "1");
    expectColor(false, true, nullptr, {"--nocolor"});
    expectColor(false, false, nullptr);
    expectColor(false, false, nullptr, {"--nocolor"});
    setenv("CLICOLOR_FORCE", "1", 1);
    expectColor(true, false, nullptr);
    expectColor(false, false, "1");
    expectColor(false, false, nullptr, {"--nocolor"});
    setenv("CLICOLOR_FORCE", "0", 1);
    expectColor(false, false, nullptr);
    unsetenv("CLICOLOR_FORCE");
}

} // namespace
