// Invariants that the fuzz targets check beyond the sanitizers: a broken one aborts, so that
// libFuzzer keeps the input as a finding and the replay fails.
#pragma once

namespace fuzzing {

// Prints "invariant broken: <what>" with the place to standard error and aborts.
[[noreturn]] void invariantBroken(const char* what, const char* file, int line);

} // namespace fuzzing

#define FUZZ_CHECK(condition)                                                                      \
    ((condition) ? (void)0 : ::fuzzing::invariantBroken(#condition, __FILE__, __LINE__))
