// The logger tree, sinks and the program's fixed log line format.
#include <cstdint>
#include <iostream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/Logging.hpp"
#include "support/MapLogCapture.hpp"

using logcraft::LogLevel;

namespace {

// The logger tree is process-wide: each test starts from the state before setup and leaves it
// so (no sinks, the root at its default level, every named logger inheriting and additive).
class LogFacility : public ::testing::Test {
protected:
    void SetUp() override { reset(); }
    void TearDown() override { reset(); }

    static void reset() {
        logcraft::Logger::deinitialize();
        logcraft::Logger::getRootLogger()->setLevel(LogLevel::DEFAULT);
        for (auto& [name, logger] : logcraft::detail::GetLoggers()) {
            logger->setLevel(LogLevel::INHERIT);
            logger->setAdditive(true);
        }
    }
};

} // namespace

// Nothing is printed before setup; after it (given twice) every entry reaches standard output
// once, in the program's format, and a disabled statement does not build its message.
TEST_F(LogFacility, SetupWritesTheProgramsLineFormatOnce) {
    std::ostringstream out;
    std::streambuf* const old = std::cout.rdbuf(out.rdbuf());
    LOG(loggerMap, FATAL) << "lost";
    const std::string beforeSetup = out.str();
    const bool setUp = Logging::setupLogging("ignored.conf") && Logging::setupLogging("");
    int evaluated = 0;
    auto sideEffect = [&evaluated] { return ++evaluated; };
    LOG(loggerMap, DEBUG) << "hidden " << sideEffect();
    LOG(loggerMap, INFO) << "value " << sideEffect();
    LOG(loggerGame, ERR) << "first\nsecond";
    LOG(loggerNetwork, WARN) << "once";
    LOG(loggerMatchpoint, INFO) << "bare";
    std::cout.rdbuf(old);

    EXPECT_EQ(beforeSetup, "");
    EXPECT_TRUE(setUp);
    EXPECT_EQ(evaluated, 1) << "a disabled statement must not build its message";
    const std::regex expected(R"(\[ INFO\] \d\d:\d\d:\d\d value 1\n)"
                              R"(\[ERROR\] \d\d:\d\d:\d\d first\nsecond\n)"
                              R"(\[ WARN\] \d\d:\d\d:\d\d once\n)"
                              "bare");
    EXPECT_TRUE(std::regex_match(out.str(), expected)) << out.str();
}

// Lookup creates the missing ancestors; levels are inherited down the tree; a sink drops what
// is below its own level; a logger that is not additive keeps its entries from its parents.
TEST_F(LogFacility, TreeLevelsSinksAndAdditivity) {
    auto root = logcraft::Logger::getRootLogger();
    EXPECT_EQ(logcraft::Logger::getLogger(""), root);
    EXPECT_EQ(Logging::getLogLevel(loggerMap), LogLevel::WARN);
    auto abc = logcraft::Logger::getLogger("a.b.c");
    auto& registry = logcraft::detail::GetLoggers();
    ASSERT_TRUE(registry.count("a") && registry.count("a.b"));
    EXPECT_EQ(registry.at("a.b")->getName(), "a.b");
    EXPECT_EQ(logcraft::Logger::getLogger("a.b.c"), abc);
    root->setLevel(LogLevel::INHERIT);
    EXPECT_EQ(abc->getLevel(), LogLevel::WARN);
    registry.at("a")->setLevel(LogLevel::TRACE);
    EXPECT_EQ(abc->getLevel(), LogLevel::TRACE);

    auto sink = std::make_shared<testing_support::CollectingSink>();
    root->addSink(sink);
    logcraft::Logger::getLogger("reversi")->setLevel(LogLevel::ERR);
    LOG(loggerMap, WARN) << "silenced";
    LOG(loggerMap, ERR) << "kept";
    loggerGame->setLevel(LogLevel::DEBUG);
    LOG(loggerGame, DEBUG) << "8-bit " << static_cast<std::uint8_t>(65) << 65;
    EXPECT_EQ(sink->entries, (std::vector<std::string>{"ERROR - kept\n", "DEBUG - 8-bit A65\n"}));

    sink->entries.clear();
    sink->setLevel(LogLevel::ERR);
    LOG(loggerGame, WARN) << "accepted by the logger, dropped by the sink";
    auto quiet = logcraft::Logger::getLogger("reversi.quiet");
    quiet->setAdditive(false);
    LOG(quiet, FATAL) << "swallowed";
    EXPECT_TRUE(sink->entries.empty());
}
