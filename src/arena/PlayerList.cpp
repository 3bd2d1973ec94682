// Player names and commands, read from the command line and filled in for each game.
#include "arena/PlayerList.hpp"

namespace {

constexpr std::size_t MaxNameLength = 64;

} // namespace

bool isValidPlayerName(const std::string& name) {
    if (name.empty() || name.size() > MaxNameLength) {
        return false;
    }
    for (const char c : name) {
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        const bool digit = c >= '0' && c <= '9';
        if (!letter && !digit && c != '_' && c != '-' && c != '.') {
            return false;
        }
    }
    return true;
}

bool parsePlayerOption(const std::string& text, PlayerEntry& entry) {
    const auto equals = text.find('=');
    if (equals == std::string::npos) {
        return false;
    }
    PlayerEntry read{text.substr(0, equals), text.substr(equals + 1)};
    if (!isValidPlayerName(read.name) ||
        read.command.find_first_not_of(" \t") == std::string::npos) {
        return false;
    }
    entry = std::move(read);
    return true;
}

std::string expandCommand(const std::string& command,
                          const std::map<std::string, std::string>& values) {
    std::string out;
    for (std::size_t i = 0; i < command.size();) {
        bool replaced = false;
        if (command[i] == '{') {
            for (const auto& [key, value] : values) {
                const std::string placeholder = "{" + key + "}";
                if (command.compare(i, placeholder.size(), placeholder) == 0) {
                    out += value;
                    i += placeholder.size();
                    replaced = true;
                    break;
                }
            }
        }
        if (!replaced) {
            out += command[i++];
        }
    }
    return out;
}

std::string shellQuote(const std::string& text) {
    std::string out = "'";
    for (const char c : text) {
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return out + "'";
}
