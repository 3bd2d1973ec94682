// The argument parser: value forms, clusters, every exception with its exact text, decimal
// unsigned values, the description markup and the help text.
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

// What parsing the words on a fresh command line leaves: switches a and b, the log value, the
// group and the port, then the text of the exception if one was thrown.
std::string outcome(const std::vector<std::string>& words) {
    CommandLine line;
    const std::string error = errorOf<OPTA::exception>(line, words);
    return std::to_string(line.a) + std::to_string(line.b) + " " + line.log + " " +
           std::to_string(line.group) + " " + std::to_string(line.port) +
           (error == "<nothing thrown>" ? "" : " | " + error);
}

// Every form of giving a value; letter clusters that stop at the first option that takes one;
// each mistake with its exact text. Unsigned values are decimal digits within their range,
// 8-bit ones included (not the code of one character), and a refused one changes nothing.
TEST(OptaParse, ValueFormsClustersAndMistakes) {
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"--log=x"}, "00 x 200 7777"},
        {{"--log", "x"}, "00 x 200 7777"},
        {{"-lx"}, "00 x 200 7777"},
        {{"-l", "x"}, "00 x 200 7777"},
        {{"--log=a=b"}, "00 a=b 200 7777"},
        {{"-l", "-a"}, "00 -a 200 7777"},
        {{"-ab"}, "11  200 7777"},
        {{"-al", "x"}, "10 x 200 7777"},
        {{"-bla"}, "01 a 200 7777"},
        {{"--bee=1"}, "00  200 7777 | Argument -b does not accept a value"},
        {{"--frobnicate"}, "00  200 7777 | The named argument frobnicate is unknown"},
        {{"-aq"}, "10  200 7777 | The flag argument q is unknown"},
        {{"-l"}, "00  200 7777 | Argument -l filename requires a value"},
        {{"--port"}, "00  200 7777 | Argument -p port number requires a value"},
        {{"stray"}, "00  200 7777 | No positional arguments are supported"},
        {{"-"}, "00  200 7777 | No positional arguments are supported"},
        {{"-b", "--bee"}, "00  200 7777 | Argument -b can only be set once"},
        {{"-l", "1", "--log=2"}, "00 2 200 7777 | Argument -l filename can only be set once"},
        {{"--group", "0", "-p65535"}, "00  0 65535"},
        {{"-g5"}, "00  5 7777"},
        {{"-g", "12"}, "00  12 7777"},
        {{"--group=255"}, "00  255 7777"},
        {{"-g", "256"}, "00  200 7777 | Argument -g number does not accept the value 256"},
        {{"-g", "-1"}, "00  200 7777 | Argument -g number does not accept the value -1"},
        {{"-g", "+5"}, "00  200 7777 | Argument -g number does not accept the value +5"},
        {{"-g", " 5"}, "00  200 7777 | Argument -g number does not accept the value  5"},
        {{"-g", "5 "}, "00  200 7777 | Argument -g number does not accept the value 5 "},
        {{"-g", "x"}, "00  200 7777 | Argument -g number does not accept the value x"},
        {{"-g", ""}, "00  200 7777 | Argument -g number does not accept the value "},
        {{"-g", "0x5"}, "00  200 7777 | Argument -g number does not accept the value 0x5"},
        {{"-p", "-1"}, "00  200 7777 | Argument -p port number does not accept the value -1"},
        {{"-p65536"}, "00  200 7777 | Argument -p port number does not accept the value 65536"},
        {{"--port=99999999999999999999999"},
         "00  200 7777 | Argument -p port number does not accept the value "
         "99999999999999999999999"},
    };
    for (const auto& [words, expected] : cases) {
        EXPECT_EQ(outcome(words), expected);
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
    EXPECT_TRUE(line.a && !line.b && line.log.empty());
    EXPECT_EQ(files, (std::vector<std::string>{"one", "-", "-b", "--log", "x", "--"}));
    EXPECT_EQ(fileArg.count(), 6u);
    EXPECT_EQ(fileArg.usage(), "file...");
}

// Counts, requirements and constraints are checked once parsing is done. A constraint groups
// options that are declared in a set as well; its copies share their counters, so it sees what
// the set's copies were given.
TEST(OptaParse, BoundsRequirementsAndConstraintsAreCheckedAfterParsing) {
    auto errorWith = [](const OPTA::Argument& extra, const std::vector<std::string>& words) {
        CommandLine line;
        line.parser.arguments().add(extra);
        return errorOf<OPTA::argument_count_mismatch>(line, words);
    };
    EXPECT_EQ(errorWith(OPTA::Argument("Be %verbose").max(3), {"-vvvv"}),
              "Argument -v can occur at most 3 times");
    EXPECT_EQ(errorWith(OPTA::Argument("Be %debug").min(2).max(0), {"-d"}),
              "Argument -d is required to occur at least 2 times");
    EXPECT_EQ(errorWith(OPTA::Argument("Be %trace").min(2).max(0), {"-tat", "-t"}),
              "<nothing thrown>");
    OPTA::Argument needed("Must be &kept");
    needed.set_required(true);
    EXPECT_EQ(errorWith(needed, {"-a"}), "Argument -k is required");

    for (const std::string given : {"-a", "-y"}) {
        CommandLine line;
        OPTA::Argument x("Run as %x");
        OPTA::Argument y("Run as %y");
        line.parser.arguments().add(x).add(y);
        OPTA::ArgumentConstraint<OPTA::ConstraintType::Any> mode;
        mode.add(x).add(y).set_required(true);
        line.parser.add_constraint(mode);
        EXPECT_EQ(errorOf<OPTA::constraint_error>(line, {given}),
                  given == "-a" ? "The following requirements are missing: [ -x ] [ -y ]"
                                : "<nothing thrown>");
        EXPECT_EQ(line.parser.help().find("Constraints"), std::string::npos);
    }
}

// Markers name the option and leave the text: % a letter, $ a long name, & both; \ escapes.
TEST(OptaMarkup, MarkersBecomeNamesAndLeaveTheText) {
    OPTA::Argument arg(R"(Use \& and \\ with %quiet $long2go-words &v1 done)");
    EXPECT_EQ(arg.description(), R"(Use & and \ with quiet long2go-words v1 done)");
    EXPECT_EQ(arg.ident(), "-q, --long2go");
    EXPECT_TRUE(arg.matches('q') && arg.matches('v') && arg.matches(std::string("v1")));
    EXPECT_FALSE(arg.matches(std::string("quiet")) || arg.matches());
    OPTA::Argument plain("A plain \\n text");
    EXPECT_EQ(plain.description(), "A plain \\n text");
    EXPECT_TRUE(plain.matches() && plain.ident().empty());
}

// The help text of a parser with several sets, one of them empty, and of one whose first set
// (the parser's own arguments) is empty but still leads the usage line.
TEST(OptaHelp, ListsEverySetWithMembers) {
    CommandLine line;
    std::string map;
    OPTA::VariableArgument<std::string> mapArg(map, "Map file to load");
    mapArg.valuename("map").set_required(true);
    OPTA::ArgumentParser& parser = line.parser;
    parser.program_name("prog");
    parser.arguments().add(mapArg);
    OPTA::ArgumentSet switches("Switches");
    switches.add(OPTA::SwitchArgument("Be %quiet")).add(OPTA::Argument("Show &help"));
    OPTA::ArgumentSet names("Names only");
    names.add(OPTA::SwitchArgument("Disable colors", "nocolor"));
    parser.add(switches).add(OPTA::ArgumentSet("Empty")).add(names);
    EXPECT_EQ(
        parser.help(),
        R"(Usage: prog [ -a ] [ -b ] [ -l filename ] [ -g number ] [ -p port number ] map [ -q ] [ -h ] [ --nocolor ]

Arguments:
  -a           Switch a
  -b, --bee    Switch b
  -l, --log    Load log settings
  -g, --group  Override the group ID
  -p, --port   Port to connect to
  map          Map file to load

Switches:
  -q           Be quiet
  -h, --help   Show help

Names only:
  --nocolor    Disable colors
)");

    OPTA::ArgumentParser basic;
    basic.add(OPTA::ArgumentSet("Basic options").add(OPTA::Argument("Show this &help text")));
    const char* argv[] = {"prog", "-h"};
    basic.parse(2, argv);
    EXPECT_EQ(basic.help(), R"(Usage: prog  [ -h ]

Basic options:
  -h, --help  Show this help text
)");
}

// The listing of declared arguments that manual pages and completions are written from: every
// argument under its set, with all its letters and long names (aliases too), its value name
// (none for switches) and its plain description, positional words included.
TEST(OptaHelp, DeclaredListsEveryArgumentWithNamesAndValue) {
    CommandLine line;
    std::vector<std::string> listed;
    std::string file;
    OPTA::VariableArgument<std::string> fileArg(file, "Input files");
    fileArg.valuename("FILE").min(0).max(0);
    OPTA::ArgumentSet extra("Extra");
    OPTA::Argument verbose("Be &verbose");
    extra.add(fileArg).add(verbose.alias('V', "chatty"));
    line.parser.add(extra);
    for (const auto& [set, arg] : line.parser.declared()) {
        std::string names;
        for (const std::string& name : arg->names()) {
            names += name + ",";
        }
        listed.push_back(set + "|" + arg->letters() + "|" + names + "|" + arg->value_name() + "|" +
                         arg->description() + "|" + std::to_string(arg->takes_value()));
    }
    const std::vector<std::string> expected{
        "Arguments|a|||Switch a|0",
        "Arguments|b|bee,||Switch b|0",
        "Arguments|l|log,|filename|Load log settings|1",
        "Arguments|g|group,|number|Override the group ID|1",
        "Arguments|p|port,|port number|Port to connect to|1",
        "Extra|||FILE|Input files|1",
        "Extra|vV|verbose,chatty,||Be verbose|0",
    };
    EXPECT_EQ(listed, expected);
}

} // namespace
