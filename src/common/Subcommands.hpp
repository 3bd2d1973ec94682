// The table of a program whose first word names a subcommand (reversi-map, reversi-tune): each
// subcommand with its forms, the options it takes and the member that runs it, and the choice
// of the subcommand from a command line.
#pragma once

#include <algorithm>
#include <iostream>
#include <string>
#include <vector>

// One way to call a subcommand, and what it does.
struct CommandForm {
    const char* synopsis;
    const char* what;
};

// One subcommand of the program T: its name, its forms for the usage text and the manual page,
// the options it takes by long name and the member that runs it. The table of them is the one
// place the subcommands are named.
template <typename T>
struct Subcommand {
    const char* name;
    std::vector<CommandForm> forms;
    std::vector<std::string> options;
    bool (T::*run)();
};

// The subcommand named `name`, when it exists and takes every option in `given` (long names):
// options that belong to another subcommand are refused rather than ignored. Otherwise the
// reason goes to standard error, with `usage` where the name is missing or unknown.
template <typename T>
const Subcommand<T>* chooseSubcommand(const std::vector<Subcommand<T>>& table,
                                      const std::string& program, const std::string& name,
                                      const std::vector<std::string>& given,
                                      const std::string& usage) {
    if (name.empty()) {
        std::cerr << usage;
        return nullptr;
    }
    const auto command = std::find_if(table.begin(), table.end(),
                                      [&name](const Subcommand<T>& c) { return name == c.name; });
    if (command == table.end()) {
        std::cerr << program << ": unknown command '" << name << "'\n" << usage;
        return nullptr;
    }
    for (const std::string& option : given) {
        const auto& allowed = command->options;
        if (std::find(allowed.begin(), allowed.end(), option) == allowed.end()) {
            std::cerr << program << ": " << name << " takes no --" << option << '\n';
            return nullptr;
        }
    }
    return &*command;
}
