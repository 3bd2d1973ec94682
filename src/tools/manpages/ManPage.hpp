// A program's manual page in the man(7) format of section 1.
#pragma once

#include <string>
#include <vector>

#include "tools/manpages/ProgramDocs.hpp"

// NAME, SYNOPSIS, DESCRIPTION, COMMANDS (for a program with subcommands), OPTIONS by option
// set, EXIT STATUS and SEE ALSO; version is shown in the page footer.
std::string manPage(const ProgramDoc& program, const std::vector<OptionDoc>& options,
                    const std::string& version);
