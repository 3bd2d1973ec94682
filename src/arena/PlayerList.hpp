// The contestants of a tournament as the command line lists them: each a name for the table
// and the files, and the shell command that starts it with the game's values filled in.
#pragma once

#include <map>
#include <string>

// A contestant: a name for the table and the shell command that starts it. A name may be
// entered several times (with the same command) to field several copies of one program.
struct PlayerEntry {
    std::string name;
    std::string command;
};

// Player names are what the table and the files show: letters, digits, "_", "-", "." only,
// at most 64 of them.
bool isValidPlayerName(const std::string& name);

// Reads "NAME=COMMAND"; false for a missing "=", an invalid name or an empty command.
bool parsePlayerOption(const std::string& text, PlayerEntry& entry);

// The command with {host}, {port}, {seed} and {seat} replaced; other braces stay as they are.
std::string expandCommand(const std::string& command,
                          const std::map<std::string, std::string>& values);

// The text quoted for /bin/sh so that it stays one word, whatever it contains.
std::string shellQuote(const std::string& text);
