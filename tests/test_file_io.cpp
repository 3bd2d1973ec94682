// The whole-file helpers on real files: an atomic write replaces the content and leaves no
// temporary behind, also when it fails before or half way through; a failed read says why.
#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>

#include <gtest/gtest.h>
#include <sys/resource.h>

#include "common/FileIO.hpp"
#include "tests/support/TempFolder.hpp"

using namespace testing_support;
namespace fs = std::filesystem;

namespace {

std::size_t entriesIn(const fs::path& folder) {
    return static_cast<std::size_t>(
        std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

// Runs `body` with writes limited to `bytes` per file; a longer write then fails with EFBIG
// (the signal that would end the process is ignored meanwhile).
template <typename Body>
void withFileSizeLimit(rlim_t bytes, Body body) {
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit limited = saved;
    limited.rlim_cur = bytes;
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &limited);
    body();
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
}

} // namespace

TEST(FileIO, AtomicWriteReplacesOrLeavesEverythingAsItWas) {
    TempFolder folder;
    const std::string target = folder.file("results.csv");
    std::string reason, text = "untouched";
    ASSERT_TRUE(writeFileAtomically(target, "first\n", reason)) << reason;
    ASSERT_TRUE(writeFileAtomically(target, "second", reason)) << reason;
    ASSERT_TRUE(readWholeFile(target, text, reason)) << reason;
    EXPECT_EQ(text, "second");
    EXPECT_EQ(entriesIn(folder.path()), 1u);

    // Half way: the file size limit stops the write after the temporary was made.
    withFileSizeLimit(4, [&] {
        EXPECT_FALSE(writeFileAtomically(target, "far longer than four bytes", reason));
    });
    EXPECT_EQ(reason, std::strerror(EFBIG));
    EXPECT_EQ(readFile(target), "second");
    EXPECT_EQ(entriesIn(folder.path()), 1u);

    // Before: the target is a folder, or its folder does not exist.
    fs::create_directory(folder.file("folder"));
    EXPECT_FALSE(writeFileAtomically(folder.file("folder"), "x", reason));
    EXPECT_EQ(reason, std::strerror(EISDIR));
    EXPECT_TRUE(fs::is_directory(folder.file("folder")));
    EXPECT_FALSE(writeFileAtomically(folder.file("missing/file"), "x", reason));
    EXPECT_EQ(reason, std::strerror(ENOENT));
    EXPECT_FALSE(writeFileAtomically("/dev/null", "x", reason));
    EXPECT_EQ(entriesIn(folder.path()), 2u);
}

TEST(FileIO, ReadGivesTheWholeFileOrTheReason) {
    TempFolder folder;
    std::string large(200000, 'x');
    large[123456] = '\0';
    writeFile(folder.file("large"), large);
    std::string text, reason;
    ASSERT_TRUE(readWholeFile(folder.file("large"), text, reason)) << reason;
    EXPECT_EQ(text, large);
    text = "kept";
    EXPECT_FALSE(readWholeFile(folder.file("missing"), text, reason));
    EXPECT_EQ(reason, "No such file or directory");
    EXPECT_EQ(text, "kept");
    EXPECT_FALSE(readWholeFile(folder.file("large"), text, reason, 199999));
    EXPECT_EQ(reason, "larger than 199999 bytes");
    EXPECT_EQ(text, "kept");
    ASSERT_TRUE(readWholeFile(folder.file("large"), text, reason, 200000)) << reason;
    EXPECT_FALSE(readWholeFile(folder.path().string(), text, reason));
    EXPECT_EQ(reason, std::strerror(EISDIR));
}
