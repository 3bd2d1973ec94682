// Where the tests find the sample maps and the built programs.
#pragma once

#include <string>

namespace testing_support {

// The source tree's root folder.
std::string sourceDir();

// The path of a file in maps/, e.g. mapPath("classic8x8.map").
std::string mapPath(const std::string& name);

// The path of a built program, e.g. programPath("reversi-client").
std::string programPath(const std::string& name);

} // namespace testing_support
