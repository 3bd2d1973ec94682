// The parts of a program with subcommands that do not depend on its commands: the command word's
// description and the choice of the command named on the command line. A command table is a
// vector of entries with a `name` and the long names of the `options` the command takes.
#pragma once

#include <algorithm>
#include <iostream>
#include <string>
#include <vector>

// The names of the table as "a, b or c", to describe the command word.
template <typename Command>
std::string commandNames(const std::vector<Command>& table) {
    std::string names;
    for (const Command& entry : table) {
        names += names.empty() ? "" : &entry == &table.back() ? " or " : ", ";
        names += entry.name;
    }
    return names;
}

// The command named `word` when it exists and takes every option in `given`: options that belong
// to another command are refused rather than ignored. Otherwise nullptr, after the usage text
// (and what was wrong) on standard error.
template <typename Command>
const Command* chooseCommand(const std::vector<Command>& table, const std::string& program,
                             const std::string& word, const std::vector<std::string>& given,
                             const std::string& usage) {
    if (word.empty()) {
        std::cerr << usage;
        return nullptr;
    }
    const auto command =
        std::find_if(table.begin(), table.end(), [&](const Command& c) { return word == c.name; });
    if (command == table.end()) {
        std::cerr << program << ": unknown command '" << word << "'\n" << usage;
        return nullptr;
    }
    for (const std::string& option : given) {
        const auto& allowed = command->options;
        if (std::find(allowed.begin(), allowed.end(), option) == allowed.end()) {
            std::cerr << program << ": " << word << " takes no --" << option << '\n';
            return nullptr;
        }
    }
    return &*command;
}
