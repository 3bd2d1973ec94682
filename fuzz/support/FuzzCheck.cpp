#include "fuzz/support/FuzzCheck.hpp"

#include <cstdio>
#include <cstdlib>

namespace fuzzing {

void invariantBroken(const char* what, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: invariant broken: %s\n", file, line, what);
    std::abort();
}

} // namespace fuzzing
