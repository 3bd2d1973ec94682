// What the manual pages and shell completions are written from: each program's texts, and its
// options as the program itself declares them.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/Tool.hpp"

// One declared option or positional word of a program.
struct OptionDoc {
    std::string set;
    std::string letters;
    std::vector<std::string> names;
    // The placeholder of the value; empty for an option without value.
    std::string valueName;
    std::string help;
    bool repeatable = false;
    bool required = false;

    bool positional() const { return letters.empty() && names.empty(); }
    // The shortest way to give it: "-l", "--nocolor", or the value name of a positional word.
    std::string shortest() const;
    // Every way to give it, letters first: "-l", "--log".
    std::vector<std::string> spellings() const;
};

// A subcommand, named by the first word of the command line.
struct SubcommandDoc {
    std::string usage;
    std::string what;
};

// A program: its name, a line for NAME, paragraphs for DESCRIPTION, when it succeeds (for
// EXIT STATUS), its subcommands if it has any, and how to construct it.
struct ProgramDoc {
    std::string name;
    std::string summary;
    std::vector<std::string> description;
    std::string success;
    std::vector<SubcommandDoc> subcommands;
    std::function<std::unique_ptr<Tool>()> make;
};

// Every installed program, in the order of the README.
const std::vector<ProgramDoc>& programDocs();

// The options the program declares, in the order of its help text.
std::vector<OptionDoc> declaredOptions(Tool& tool);

// The first word of a subcommand's usage, e.g. "render" for "render FILE -o OUT.svg".
std::string subcommandName(const SubcommandDoc& subcommand);
