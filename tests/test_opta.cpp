#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "opta/Opta.hpp"

namespace {

// A parser with the kinds of options the programs use: two switches, a file name, an 8-bit
// group number and a 16-bit port.
struct CommandLine {
    bool a = false;
    bool b = false;
    std::string log;
    std::uint8_t group = 200;
    std::uint16_t port = 7777;
    OPTA::ArgumentParser parser;

    CommandLine() {
        OPTA::VariableArgument<std::string> logArg(log, "Load &log settings");
        OPTA::VariableArgument<std::uint8_t> groupArg(group, "Override the &group ID");
        OPTA::VariableArgument<std::uint16_t> portArg(port, "Port to connect to", 'p', "port");
        parser.arguments()
            .add(OPTA::SwitchArgument(a, "Switch %a"))
            .add(OPTA::SwitchArgument(b, "Switch %b", "bee"))
            .add(logArg.valuename("filename"))
            .add(groupArg.valuename("number"))
            .add(portArg.valuename("port number"));
    }

    void parse(const std::vector<std::string>& words) {
        std::vector<const char*> argv{"prog"};
        for (const std::string& word : words) {
            argv.push_back(word.c_str());
        }
        parser.parse(static_cast<int>(argv.size()), argv.data());
    }
};

// The what() text of the exception of type E that parsing the words throws.
template <typename E>
std::string errorOf(CommandLine& line, const std::vector<std::string>& words) {
    try {
        line.parse(words);
    } catch (const E& e) {
        return e.what();
    }
    return "<nothing thrown>";
}

TEST(OptaParse, EveryValueFormReachesTheVariable) {
    for (const auto& words :
         std::vector<std::vector<std::string>>{{"--log=x"}, {"--log", "x"}, {"-lx"}, {"-l", "x"}}) {
        CommandLine line;
        line.parse(words);
        EXPECT_EQ(line.log, "x") << words.front();
    }
    CommandLine equals;
    equals.parse({"--log=a=b"});
    EXPECT_EQ(equals.log, "a=b");
    CommandLine dashValue;
    dashValue.parse({"-l", "-a"});
    EXPECT_EQ(dashValue.log, "-a");
    EXPECT_FALSE(dashValue.a);
}

TEST(OptaParse, LetterClustersStopAtTheFirstValueOption) {
    CommandLine both;
    both.parse({"-ab"});
    EXPECT_TRUE(both.a);
    EXPECT_TRUE(both.b);

    CommandLine nextWord;
    nextWord.parse({"-al", "x"});
    EXPECT_TRUE(nextWord.a);
    EXPECT_EQ(nextWord.log, "x");

    CommandLine rest;
    rest.parse({"-bla"});
    EXPECT_TRUE(rest.b);
    EXPECT_EQ(rest.log, "a");
    EXPECT_FALSE(rest.a);
}

TEST(OptaParse, MistakesThrowTheirExactTexts) {
    CommandLine line;
    EXPECT_EQ(errorOf<OPTA::argument_no_value>(line, {"--bee=1"}),
              "Argument -b does not accept a value");
    EXPECT_EQ(errorOf<OPTA::unknown_argument>(line, {"--frobnicate"}),
              "The named argument frobnicate is unknown");
    EXPECT_EQ(errorOf<OPTA::unknown_argument>(line, {"-aq"}), "The flag argument q is unknown");
    EXPECT_EQ(errorOf<OPTA::argument_missing_value>(line, {"-l"}),
              "Argument -l filename requires a value");
    EXPECT_EQ(errorOf<OPTA::argument_missing_value>(line, {"--port"}),
              "Argument -p port number requires a value");
    EXPECT_EQ(errorOf<OPTA::unknown_argument>(line, {"stray"}),
              "No positional arguments are supported");
    EXPECT_EQ(errorOf<OPTA::unknown_argument>(line, {"-"}),
              "No positional arguments are supported");
}

TEST(OptaParse, RepeatedOptionsFailTheCountCheck) {
    CommandLine twice;
    EXPECT_EQ(errorOf<OPTA::argument_count_mismatch>(twice, {"-b", "--bee"}),
              "Argument -b can only be set once");
    EXPECT_FALSE(twice.b);

    CommandLine values;
    EXPECT_EQ(errorOf<OPTA::argument_count_mismatch>(values, {"-l", "one", "--log=two"}),
              "Argument -l filename can only be set once");
    EXPECT_EQ(values.log, "two");
}

TEST(OptaParse, EightBitValuesAreDecimalNumbers) {
    for (const auto& [text, stored] :
         std::vector<std::pair<std::string, int>>{{"0", 0}, {"5", 5}, {"12", 12}, {"255", 255}}) {
        CommandLine line;
        line.parse({"--group", text});
        EXPECT_EQ(line.group, stored) << text;
    }
    for (const std::string text : {"256", "-1", "+5", " 5", "5 ", "x", "", "0x5"}) {
        CommandLine line;
        EXPECT_EQ(errorOf<OPTA::argument_invalid_value>(line, {"-g", text}),
                  "Argument -g number does not accept the value " + text);
        EXPECT_EQ(line.group, 200) << text;
    }
}

TEST(OptaParse, SixteenBitValuesRefuseSignsAndOverflow) {
    CommandLine top;
    top.parse({"-p65535"});
    EXPECT_EQ(top.port, 65535);
    for (const std::string text : {"-1", "65536", "99999999999999999999999"}) {
        CommandLine line;
        EXPECT_EQ(errorOf<OPTA::argument_invalid_value>(line, {"--port=" + text}),
                  "Argument -p port number does not accept the value " + text);
        EXPECT_EQ(line.port, 7777);
    }
}

TEST(OptaParse, DoubleDashMakesTheRestPositional) {
    CommandLine line;
    std::string file;
    std::vector<std::string> files;
    OPTA::VariableArgument<std::string> fileArg(file, "Files to read");
    fileArg.valuename("file").max(0);
    fileArg.check_typed([&](const auto&, const std::string& value) { files.push_back(value); });
    line.parser.arguments().add(fileArg);

    line.parse({"one", "-a", "-", "--", "-b", "--log", "x", "--"});
    EXPECT_TRUE(line.a);
    EXPECT_FALSE(line.b);
    EXPECT_EQ(line.log, "");
    EXPECT_EQ(files, (std::vector<std::string>{"one", "-", "-b", "--log", "x", "--"}));
    EXPECT_EQ(fileArg.count(), 6u);
    EXPECT_EQ(fileArg.usage(), "file...");
}

TEST(OptaParse, BoundsAndRequirementsAreCheckedAfterParsing) {
    CommandLine atMost;
    OPTA::Argument verbose("Be %verbose");
    atMost.parser.arguments().add(verbose.max(3));
    EXPECT_EQ(errorOf<OPTA::argument_count_mismatch>(atMost, {"-vvvv"}),
              "Argument -v can occur at most 3 times");

    CommandLine tooFew;
    OPTA::Argument debug("Be %debug");
    tooFew.parser.arguments().add(debug.min(2).max(0));
    EXPECT_EQ(errorOf<OPTA::argument_count_mismatch>(tooFew, {"-d"}),
              "Argument -d is required to occur at least 2 times");

    CommandLine enough;
    OPTA::Argument trace("Be %trace");
    enough.parser.arguments().add(trace.min(2).max(0));
    enough.parse({"-tat", "-t"});
    EXPECT_EQ(trace.count(), 3u);

    CommandLine missing;
    OPTA::Argument needed("Must be &kept");
    needed.set_required(true);
    missing.parser.arguments().add(needed);
    EXPECT_EQ(errorOf<OPTA::argument_count_mismatch>(missing, {"-a"}), "Argument -k is required");
}

// A constraint groups options that are declared in a set as well; its copies share their
// counters, so it sees what the set's copies were given.
TEST(OptaParse, RequiredGroupsReportTheirMissingMembers) {
    auto addMode = [](CommandLine& line) {
        OPTA::Argument x("Run as %x");
        OPTA::Argument y("Run as %y");
        line.parser.arguments().add(x).add(y);
        OPTA::ArgumentConstraint<OPTA::ConstraintType::Any> mode;
        mode.add(x).add(y).set_required(true);
        line.parser.add_constraint(mode);
    };
    CommandLine none;
    addMode(none);
    EXPECT_EQ(errorOf<OPTA::constraint_error>(none, {"-a"}),
              "The following requirements are missing: [ -x ] [ -y ]");
    EXPECT_EQ(none.parser.help().find("Constraints"), std::string::npos);

    CommandLine one;
    addMode(one);
    EXPECT_NO_THROW(one.parse({"-y"}));
}

TEST(OptaMarkup, MarkersBecomeNamesAndLeaveTheText) {
    OPTA::Argument arg(R"(Use \& and \\ with %quiet $long2go-words &v1 done)");
    EXPECT_EQ(arg.description(), R"(Use & and \ with quiet long2go-words v1 done)");
    EXPECT_EQ(arg.ident(), "-q, --long2go");
    EXPECT_TRUE(arg.matches('q'));
    EXPECT_TRUE(arg.matches('v'));
    EXPECT_TRUE(arg.matches(std::string("v1")));
    EXPECT_FALSE(arg.matches(std::string("quiet")));
    EXPECT_FALSE(arg.matches());

    OPTA::Argument plain("A plain \\n text");
    EXPECT_EQ(plain.description(), "A plain \\n text");
    EXPECT_TRUE(plain.matches());
    EXPECT_EQ(plain.ident(), "");
}

TEST(OptaHelp, ListsEverySetWithMembers) {
    std::string server;
    std::uint16_t port = 0;
    std::uint8_t group = 0;
    std::string map;
    OPTA::VariableArgument<std::string> serverArg(server, "Address of &server to connect to");
    OPTA::VariableArgument<std::uint16_t> portArg(port, "Port to connect to", 'p', "port");
    OPTA::VariableArgument<std::uint8_t> groupArg(group, "Override the &group ID");
    OPTA::VariableArgument<std::string> mapArg(map, "Map file to load");
    mapArg.valuename("map").set_required(true);

    OPTA::ArgumentParser parser;
    parser.program_name("prog");
    parser.arguments()
        .add(serverArg.valuename("host or IP"))
        .add(portArg.valuename("port number"))
        .add(groupArg.valuename("number"))
        .add(mapArg);
    OPTA::ArgumentSet switches("Switches");
    switches.add(OPTA::SwitchArgument("Be %quiet")).add(OPTA::Argument("Show &help"));
    OPTA::ArgumentSet names("Names only");
    names.add(OPTA::SwitchArgument("Disable colors", "nocolor"));
    parser.add(switches).add(OPTA::ArgumentSet("Empty")).add(names);

    EXPECT_EQ(
        parser.help(),
        R"(Usage: prog [ -s host or IP ] [ -p port number ] [ -g number ] map [ -q ] [ -h ] [ --nocolor ]

Arguments:
  -s, --server  Address of server to connect to
  -p, --port    Port to connect to
  -g, --group   Override the group ID
  map           Map file to load

Switches:
  -q            Be quiet
  -h, --help    Show help

Names only:
  --nocolor     Disable colors
)");
}

TEST(OptaHelp, AnEmptyFirstSetStillLeadsTheUsageLine) {
    OPTA::ArgumentParser parser;
    OPTA::ArgumentSet basic("Basic options");
    basic.add(OPTA::Argument("Show this &help text"));
    parser.add(basic);
    const char* argv[] = {"prog", "-h"};
    parser.parse(2, argv);
    EXPECT_EQ(parser.help(), R"(Usage: prog  [ -h ]

Basic options:
  -h, --help  Show this help text
)");
}

TEST(OptaParse, CallbacksCanStopParsing) {
    CommandLine line;
    line.parser.arguments().add(OPTA::Argument("Show &help").check([](const OPTA::Argument& arg) {
        throw OPTA::exception("help for " + arg.usage());
    }));
    EXPECT_EQ(errorOf<OPTA::exception>(line, {"-a", "-h", "--frobnicate"}), "help for -h");
    EXPECT_TRUE(line.a);
}

} // namespace
