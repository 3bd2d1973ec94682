// The programs that load a map file, run as they are: a file that cannot be opened is named
// with the reason and ends the program with a failure, and only a file that opens but holds no
// valid map is called an invalid map.
#include <chrono>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/ScriptedProcess.hpp"
#include "tests/support/TempFolder.hpp"
#include "tests/support/TestPaths.hpp"

using namespace std::chrono_literals;
using namespace testing_support;

namespace {

// A program and its arguments for a run on the map MAP.
struct MapLoader {
    std::string program;
    std::vector<std::string> args;
};

std::vector<std::string> withMap(std::vector<std::string> args, const std::string& map) {
    for (std::string& arg : args) {
        arg = arg == "MAP" ? map : arg;
    }
    return args;
}

} // namespace

TEST(MapOpen, EveryProgramTellsAMissingFileFromAnInvalidMap) {
    TempFolder folder;
    writeFile(folder.file("broken.map"), "9\n0\n0 0\n1 2\n0 0\n");
    const MapLoader loaders[] = {
        {"reversi-server", {"--port", "0", "--map", "MAP"}},
        {"reversi-perft", {"--map", "MAP", "--depth", "1"}},
        {"reversi-ai", {"--analyse", "MAP", "--movetime", "10"}},
        {"reversi-arena",
         {"--player", "a=true", "--player", "b=true", "--map", "MAP", "--out", folder.file("out")}},
        {"reversi-tune",
         {"spsa", "--tune", "edgeValue", "--map", "MAP", "--work", folder.file("work")}},
    };
    for (const auto& [program, args] : loaders) {
        SCOPED_TRACE(program);
        for (const std::string name : {"missing.map", ""}) {
            const std::string map = name.empty() ? folder.path().string() : folder.file(name);
            const auto result = runProcess(programPath(program), withMap(args, map), 30s);
            EXPECT_NE(result.exitStatus, 0);
            const std::string reason =
                name.empty() ? "Is a directory" : "No such file or directory";
            EXPECT_TRUE(hasLogLine(result.out, "ERROR", "Cannot open map " + map + ": " + reason))
                << result.out << result.err;
            EXPECT_EQ(result.out.find("Invalid map"), std::string::npos) << result.out;
        }
        const auto broken =
            runProcess(programPath(program), withMap(args, folder.file("broken.map")), 30s);
        EXPECT_NE(broken.exitStatus, 0);
        EXPECT_TRUE(hasLogLine(broken.out, "ERROR", "Invalid number of players: 9")) << broken.out;
        EXPECT_NE(broken.out.find("Invalid map " + folder.file("broken.map")), std::string::npos)
            << broken.out;
        EXPECT_EQ(broken.out.find("Cannot open map"), std::string::npos) << broken.out;
    }
}
