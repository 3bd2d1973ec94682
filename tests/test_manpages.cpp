// The manual pages and bash completions the build writes, checked against the programs
// themselves: every option that a program's --help lists is on its rendered page and among the
// options its completion offers; values, files and subcommands are completed as declared.
#include <algorithm>
#include <chrono>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/ScriptedProcess.hpp"
#include "support/TempFolder.hpp"
#include "support/TestPaths.hpp"

namespace {

using namespace std::chrono_literals;
using testing_support::findOnPath;
using testing_support::programPath;
using testing_support::runProcess;

const std::vector<std::string> Programs{"reversi-client", "reversi-server", "reversi-bot",
                                        "reversi-ai",     "reversi-arena",  "reversi-map",
                                        "reversi-perft",  "reversi-tune"};

const std::string ManPages = REVERSI_MANPAGES_DIR;

// The first column of the option lines of the program's --help, e.g. "-l, --log" or "FILE".
std::vector<std::string> helpIdents(const std::string& program) {
    const auto result = runProcess(programPath(program), {"--help"}, 30s);
    std::vector<std::string> idents;
    std::istringstream lines(result.err);
    for (std::string line; std::getline(lines, line);) {
        if (line.starts_with("  ") && line.size() > 2 && line[2] != ' ') {
            idents.push_back(line.substr(2, line.find("  ", 2) - 2));
        }
    }
    return idents;
}

// Every "-x" and "--name" in the idents, sorted, one per line.
std::string spellingsOf(const std::vector<std::string>& idents) {
    static const std::regex spelling("--?[A-Za-z][A-Za-z0-9-]*");
    std::vector<std::string> found;
    for (const std::string& ident : idents) {
        for (std::sregex_iterator it(ident.begin(), ident.end(), spelling), end; it != end; ++it) {
            found.push_back(it->str());
        }
    }
    std::sort(found.begin(), found.end());
    std::string text;
    for (const std::string& word : found) {
        text += word + "\n";
    }
    return text;
}

// What the program's installed completion offers when the last of the words is completed in
// the folder: the offered words, sorted, one per line. The completion function is the one the
// file registers for the program.
std::string offered(const std::string& program, const std::vector<std::string>& words,
                    const std::string& folder) {
    std::string list;
    for (const std::string& word : words) {
        list += " '" + word + "'";
    }
    const std::string script = "cd '" + folder + "' && source '" + ManPages + "/completions/" +
                               program + "' && " + "fn=$(complete -p " + program +
                               " | sed 's/.*-F \\([^ ]*\\).*/\\1/') && " + "COMP_WORDS=(" +
                               program + list + ") && COMP_CWORD=" + std::to_string(words.size()) +
                               " && \"$fn\" && { ((${#COMPREPLY[@]} == 0)) || printf '%s\\n' "
                               "\"${COMPREPLY[@]}\"; } | sort";
    const auto result = runProcess(findOnPath("bash"), {"--norc", "-c", script}, 30s);
    EXPECT_EQ(result.err, "") << program << list;
    return result.out;
}

// Rendered by man as a person would read it: each section, the NAME line, and every option of
// --help with its letter and long name together; groff has nothing to warn about.
TEST(ManPages, EveryPageShowsEveryOptionOfTheHelpText) {
    const std::string man = findOnPath("man");
    if (man.empty()) {
        GTEST_SKIP() << "man not found (Debian package man-db): pages not rendered";
    }
    for (const std::string& program : Programs) {
        const auto result = runProcess(
            findOnPath("env"),
            {"MANWIDTH=100", man, "--warnings", "-l", ManPages + "/man1/" + program + ".1"}, 30s);
        EXPECT_EQ(result.err, "") << program;
        const std::string& page = result.out;
        for (const std::string& heading : std::vector<std::string>{
                 "\nNAME\n", "\nSYNOPSIS\n", "\nDESCRIPTION\n", "\nOPTIONS\n", "\nEXIT STATUS\n",
                 "\nSEE ALSO\n", "       " + program + " - "}) {
            EXPECT_NE(page.find(heading), std::string::npos) << program << ": " << heading;
        }
        const auto idents = helpIdents(program);
        EXPECT_GE(idents.size(), 5u) << program;
        for (const std::string& ident : idents) {
            EXPECT_NE(page.find("       " + ident), std::string::npos) << program << ": " << ident;
        }
    }
}

// Options from a lone "-", values by kind (choices, map files, any file, folders, nothing for
// numbers), "--name=value", and reversi-map's subcommands first, each of which reversi-map
// knows.
TEST(BashCompletion, OffersOptionsValuesAndSubcommands) {
    if (findOnPath("bash").empty()) {
        GTEST_SKIP() << "bash not found: completions not tried";
    }
    testing_support::TempFolder folder;
    std::ofstream(folder.file("a.map")) << "";
    std::ofstream(folder.file("b.txt")) << "";
    std::filesystem::create_directory(folder.file("sub"));
    const std::string dir = folder.path().string();
    for (const std::string& program : Programs) {
        EXPECT_EQ(offered(program, {"-"}, dir), spellingsOf(helpIdents(program))) << program;
    }
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases[] = {
        {{{"--search", ""}, "brs\nmcts\nparanoid\n"}, {{"--se"}, "--search\n--seed\n--server\n"}},
        {{{"-m", ""}, "a.map\nsub\n"},
         {{"--map", "=", ""}, "a.map\nsub\n"},
         {{"--record", "b"}, "b.txt\n"},
         {{"-p", ""}, ""}},
        {{{"--out", ""}, "sub\n"}, {{"-m", "a"}, "a.map\n"}},
        {{{""}, "check\nformat\ngenerate\nrender\nreplay\nstats\n"},
         {{"check", ""}, "a.map\nb.txt\nsub\n"},
         {{"format", "--in"}, "--in-place\n"}},
        {{{"--no"}, "--nocolor\n"}, {{"-s", ""}, ""}},
    };
    const std::string programs[] = {"reversi-ai", "reversi-server", "reversi-arena", "reversi-map",
                                    "reversi-client"};
    for (std::size_t i = 0; i < std::size(programs); ++i) {
        for (const auto& [words, expected] : cases[i]) {
            EXPECT_EQ(offered(programs[i], words, dir), expected) << programs[i] << " " << words[0];
        }
    }
    std::istringstream subcommands(offered("reversi-map", {""}, dir));
    for (std::string name; std::getline(subcommands, name);) {
        const auto result = runProcess(programPath("reversi-map"), {name}, 30s);
        EXPECT_EQ(result.err.find("unknown command"), std::string::npos) << name;
    }
    const auto unknown = runProcess(programPath("reversi-map"), {"nosuch"}, 30s);
    EXPECT_NE(unknown.err.find("unknown command"), std::string::npos);
}

} // namespace
