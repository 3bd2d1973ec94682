#include "TestPaths.hpp"

namespace testing_support {

std::string sourceDir() {
    return REVERSI_SOURCE_DIR;
}

std::string mapPath(const std::string& name) {
    return sourceDir() + "/maps/" + name;
}

std::string programPath(const std::string& name) {
    return std::string(REVERSI_BINARY_DIR) + "/" + name;
}

} // namespace testing_support
