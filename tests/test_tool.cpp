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
    bool doRun() override {
        ++runs;
        return true;
    }

    bool parseOptions(OPTA::ArgumentParser& parser) override {
        OPTA::VariableArgument<std::uint8_t> count(things, "How many things to &count");
        parser.arguments().add(count.valuename("number"));
        return Tool::parseOptions(parser);
    }
};

struct Outcome {
    bool init;
    bool run;
    std::string err;
};

// Runs init and run on the words, collecting what goes to standard error.
Outcome runTool(CountingTool& tool, const std::vector<std::string>& words) {
    std::vector<const char*> argv{"tool"};
    for (const std::string& word : words) {
        argv.push_back(word.c_str());
    }
    std::ostringstream err;
    std::streambuf* saved = std::cerr.rdbuf(err.rdbuf());
    Outcome outcome{tool.init(static_cast<int>(argv.size()), argv.data()), tool.run(), ""};
    std::cerr.rdbuf(saved);
    outcome.err = err.str();
    return outcome;
}

// Points standard output at another file descriptor for one init.
bool initWithStdout(int fd, const std::vector<std::string>& words) {
    std::cout.flush();
    std::fflush(stdout);
    int saved = dup(STDOUT_FILENO);
    dup2(fd, STDOUT_FILENO);
    CountingTool tool;
    bool ok = runTool(tool, words).init;
    std::cout.flush();
    std::fflush(stdout);
    dup2(saved, STDOUT_FILENO);
    close(saved);
    return ok;
}

// Whether colours end up switched on for the words, with standard output on a terminal or
// on /dev/null, and NO_COLOR set to the given text (null: unset). The switch must come out the
// same whatever it was before.
bool colorAfter(bool terminal, const char* noColorEnv, const std::vector<std::string>& words) {
    if (noColorEnv == nullptr) {
        unsetenv("NO_COLOR");
    } else {
        setenv("NO_COLOR", noColorEnv, 1);
    }
    std::vector<bool> results;
    for (bool before : {false, true}) {
        int master = -1;
        int target = -1;
        if (terminal) {
            EXPECT_EQ(openpty(&master, &target, nullptr, nullptr, nullptr), 0);
        } else {
            target = open("/dev/null", O_WRONLY);
        }
        ansi::enableColor = before;
        EXPECT_TRUE(initWithStdout(target, words));
        results.push_back(ansi::enableColor);
        close(target);
        if (master >= 0) {
            close(master);
        }
    }
    unsetenv("NO_COLOR");
    ansi::enableColor = false;
    EXPECT_EQ(results[0], results[1]);
    return results[0];
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

TEST(Tool, HelpAndErrorsStopBeforeRunning) {
    for (const auto& words : std::vector<std::vector<std::string>>{
             {"-h", "--frobnicate"}, {"--help"}, {"-c", "3", "-h"}}) {
        CountingTool tool;
        Outcome outcome = runTool(tool, words);
        EXPECT_FALSE(outcome.init);
        EXPECT_FALSE(outcome.run);
        EXPECT_EQ(outcome.err, helpText) << words.front();
        EXPECT_EQ(tool.runs, 0);
    }
    CountingTool unknown;
    Outcome outcome = runTool(unknown, {"--frobnicate", "-h"});
    EXPECT_FALSE(outcome.init);
    EXPECT_FALSE(outcome.run);
    EXPECT_EQ(outcome.err, "The named argument frobnicate is unknown\n");

    CountingTool twice;
    EXPECT_EQ(runTool(twice, {"--nocolor", "--nocolor"}).err,
              "Argument --nocolor can only be set once\n");

    CountingTool valued;
    EXPECT_EQ(runTool(valued, {"--nocolor=1"}).err, "Argument --nocolor does not accept a value\n");

    CountingTool big;
    EXPECT_EQ(runTool(big, {"-c", "256"}).err,
              "Argument -c number does not accept the value 256\n");
}

TEST(Tool, VersionShowsLabelAndBuildDate) {
    for (const std::string word : {"--version", "-v"}) {
        CountingTool tool;
        Outcome outcome = runTool(tool, {word, "--frobnicate"});
        EXPECT_FALSE(outcome.init);
        EXPECT_EQ(tool.runs, 0);
        EXPECT_EQ(std::string(Tool::Version), REVERSI_VERSION);
        const std::regex shape(std::string(REVERSI_VERSION) +
                               " build [A-Z][a-z]{2} [ 123][0-9] [0-9]{4}\n");
        EXPECT_TRUE(std::regex_match(outcome.err, shape)) << outcome.err;
    }
}

TEST(Tool, RunsOnlyAfterSuccessfulInit) {
    CountingTool fresh;
    EXPECT_FALSE(fresh.run());

    CountingTool tool;
    Outcome outcome = runTool(tool, {"--count=12", "--log", "unused.cfg"});
    EXPECT_TRUE(outcome.init);
    EXPECT_TRUE(outcome.run);
    EXPECT_EQ(outcome.err, "");
    EXPECT_EQ(tool.things, 12);
    EXPECT_EQ(tool.runs, 1);

    CountingTool empty;
    std::ostringstream err;
    std::streambuf* saved = std::cerr.rdbuf(err.rdbuf());
    EXPECT_FALSE(empty.init(0, nullptr));
    std::cerr.rdbuf(saved);
    EXPECT_FALSE(empty.run());
    EXPECT_EQ(err.str(), "");
}

TEST(Tool, ColoursOnlyOnATerminalUnlessRefused) {
    EXPECT_TRUE(colorAfter(true, nullptr, {}));
    EXPECT_TRUE(colorAfter(true, "", {}));
    EXPECT_FALSE(colorAfter(true, "1", {}));
    EXPECT_FALSE(colorAfter(true, nullptr, {"--nocolor"}));
    EXPECT_FALSE(colorAfter(false, nullptr, {}));
    EXPECT_FALSE(colorAfter(false, nullptr, {"--nocolor"}));
}

} // namespace
