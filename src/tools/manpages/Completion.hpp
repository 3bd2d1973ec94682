// A program's bash completion, written from its declared options.
#pragma once

#include <string>
#include <vector>

#include "tools/manpages/ProgramDocs.hpp"

// A bash script that defines the completion function _NAME (hyphens as underscores) and
// registers it for the program. It completes the program's subcommands as the first word,
// every letter and long name of its options, and the values of options by their value name:
// map files for maps, file names for files and paths, folders for folders, the listed words
// for "a|b" choices; "--name=value" is completed as "--name value".
std::string bashCompletion(const ProgramDoc& program, const std::vector<OptionDoc>& options);
