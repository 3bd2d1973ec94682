// The subcommands of reversi-map, each a function of its inputs that writes its result and
// reports problems on standard error. True when the command succeeded.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "tools/map/MapGenerator.hpp"

// Reads and judges each file; true only when every map is valid.
bool runCheck(const std::vector<std::string>& files, std::ostream& out);
// Writes a valid map in the writer's layout to `output` ("-" for standard output), or back
// into the file with `inPlace`.
bool runFormat(const std::string& file, bool inPlace, const std::string& output);
bool runStats(const std::string& file, unsigned games, std::uint32_t seed, std::ostream& out);
// The map, or the position after `move` events of `record` (all of them when not given).
bool runRender(const std::string& file, const std::string& record, std::optional<unsigned> move,
               const std::string& output);
bool runReplay(const std::string& record, const std::string& output);
bool runGenerate(const GeneratorOptions& options, const std::string& output);

// Writes `text` to the file, or to standard output for "-"; a message on failure.
bool writeOutput(const std::string& path, const std::string& text);
