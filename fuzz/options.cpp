// Fuzz target: the command-line parser of every program, fed argument vectors. The first byte
// picks the program, the rest is split at zero bytes into the arguments. Whatever the vector,
// init answers true or false and lets no exception out; error, help and version texts go to a
// muted standard error.
// libFuzzer: -max_len=512
#include <cstddef>
#include <cstdint>
#include <functional>
#include <iostream>
#include <memory>
#include <streambuf>
#include <string>
#include <vector>

#include "ai/AiPlayer.hpp"
#include "arena/Arena.hpp"
#include "bot/Bot.hpp"
#include "client/consoleClient.hpp"
#include "common/Tool.hpp"
#include "fuzz/support/FuzzInput.hpp"
#include "server/GameServer.hpp"
#include "tools/map/MapTool.hpp"
#include "tools/perft/PerftTool.hpp"

namespace {

using fuzzing::FuzzInput;

// Every program with its own options; a new program is one more line.
const std::vector<std::function<std::unique_ptr<Tool>()>> Programs{
    [] { return std::make_unique<ConsoleClient>(); }, // reversi-client
    [] { return std::make_unique<GameServer>(); },    // reversi-server
    [] { return std::make_unique<Bot>(); },           // reversi-bot
    [] { return std::make_unique<AiPlayer>(); },      // reversi-ai
    [] { return std::make_unique<Arena>(); },         // reversi-arena
    [] { return std::make_unique<MapTool>(); },       // reversi-map
    [] { return std::make_unique<PerftTool>(); },     // reversi-perft
};

// Drops everything written to it.
class NullBuffer : public std::streambuf {
protected:
    int overflow(int c) override { return c; }
};

constexpr std::size_t MaxArguments = 64;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static NullBuffer muted;
    std::streambuf* const stderrBuffer = std::cerr.rdbuf(&muted);
    FuzzInput input(data, size);
    const auto program = Programs[input.below(static_cast<unsigned>(Programs.size()))]();
    std::vector<std::string> arguments{"program"};
    while (!input.empty() && arguments.size() < MaxArguments) {
        arguments.push_back(input.until('\0'));
    }
    std::vector<const char*> argv;
    for (const auto& argument : arguments) {
        argv.push_back(argument.c_str());
    }
    argv.push_back(nullptr);
    program->init(static_cast<int>(arguments.size()), argv.data());
    std::cerr.rdbuf(stderrBuffer);
    return 0;
}
