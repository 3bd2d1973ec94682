// The logger tree, sinks and the program's fixed log line format.
#include <iostream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/Logging.hpp"

using logcraft::LogLevel;

namespace {

// Keeps every formatted entry it receives.
class CollectingSink : public logcraft::Sink {
public:
    mutable std::vector<std::string> entries;

protected:
    void logEntry(const std::string& text) const override { entries.push_back(text); }
};

// Sends std::cout into a string for the lifetime of the object.
class CapturedStdout {
public:
    CapturedStdout() : m_old(std::cout.rdbuf(m_buffer.rdbuf())) {}
    ~CapturedStdout() { std::cout.rdbuf(m_old); }
    std::string text() const { return m_buffer.str(); }

private:
    std::ostringstream m_buffer;
    std::streambuf* m_old;
};

// Each test starts from the state before setup and leaves it so: no sinks anywhere, the root at
// its default level, every named logger inheriting and additive. The logger tree is process-wide,
// so without this the tests would depend on their order.
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

std::string levelText(LogLevel level) {
    std::ostringstream os;
    os << level;
    return os.str();
}

} // namespace

TEST_F(LogFacility, NothingIsPrintedBeforeSetup) {
    CapturedStdout captured;
    LOG(loggerMap, ERR) << "lost";
    LOG(loggerMap, FATAL) << "lost too";
    EXPECT_EQ(captured.text(), "");
    EXPECT_EQ(Logging::getLogLevel(loggerMap), LogLevel::WARN);
}

TEST_F(LogFacility, SetupWritesTheProgramsLineFormat) {
    CapturedStdout captured;
    ASSERT_TRUE(Logging::setupLogging("ignored.conf"));
    int evaluated = 0;
    auto sideEffect = [&evaluated] { return ++evaluated; };
    LOG(loggerMap, DEBUG) << "hidden " << sideEffect();
    EXPECT_EQ(evaluated, 0) << "a disabled statement must not build its message";
    LOG(loggerMap, INFO) << "value " << sideEffect();
    LOG(loggerGame, ERR) << "first\nsecond";
    LOG(loggerMatchpoint, INFO) << "bare";
    EXPECT_EQ(evaluated, 1);

    const std::regex expected(R"(\[ INFO\] \d\d:\d\d:\d\d value 1\n)"
                              R"(\[ERROR\] \d\d:\d\d:\d\d first\nsecond\n)"
                              "bare");
    EXPECT_TRUE(std::regex_match(captured.text(), expected)) << captured.text();
}

TEST_F(LogFacility, SecondSetupDoesNotDoubleTheLines) {
    CapturedStdout captured;
    Logging::setupLogging("");
    Logging::setupLogging("");
    LOG(loggerNetwork, WARN) << "once";
    EXPECT_TRUE(std::regex_match(captured.text(), std::regex(R"(\[ WARN\] \S+ once\n)")))
        << captured.text();
}

TEST_F(LogFacility, LookupBuildsTheTree) {
    auto root = logcraft::Logger::getRootLogger();
    EXPECT_EQ(logcraft::Logger::getLogger(""), root);
    auto abc = logcraft::Logger::getLogger("a.b.c");
    auto& registry = logcraft::detail::GetLoggers();
    ASSERT_TRUE(registry.count("a") && registry.count("a.b"));
    EXPECT_EQ(logcraft::Logger::getLogger("a.b.c"), abc);
    EXPECT_EQ(abc->getName(), "a.b.c");
    EXPECT_EQ(registry.at("a.b")->getName(), "a.b");
    EXPECT_TRUE(registry.count("reversi")) << "the named loggers create their common parent";

    root->setLevel(LogLevel::INHERIT);
    EXPECT_EQ(root->getLevel(), LogLevel::WARN);
    EXPECT_EQ(abc->getLevel(), LogLevel::WARN);
    registry.at("a")->setLevel(LogLevel::TRACE);
    EXPECT_EQ(abc->getLevel(), LogLevel::TRACE);
}

TEST_F(LogFacility, LevelsInheritAndSinksFilter) {
    auto sink = std::make_shared<CollectingSink>();
    auto root = logcraft::Logger::getRootLogger();
    root->addSink(sink);
    auto reversi = logcraft::Logger::getLogger("reversi");
    reversi->setLevel(LogLevel::ERR);
    LOG(loggerMap, INFO) << "silenced";
    LOG(loggerMap, WARN) << "silenced";
    LOG(loggerMap, ERR) << "kept";
    loggerGame->setLevel(LogLevel::DEBUG);
    LOG(loggerGame, DEBUG) << "debug kept";
    EXPECT_EQ(sink->entries, (std::vector<std::string>{"ERROR - kept\n", "DEBUG - debug kept\n"}));

    sink->entries.clear();
    sink->setLevel(LogLevel::ERR);
    LOG(loggerGame, WARN) << "accepted by the logger, dropped by the sink";
    EXPECT_TRUE(sink->entries.empty());

    auto quiet = logcraft::Logger::getLogger("reversi.quiet");
    quiet->setAdditive(false);
    LOG(quiet, FATAL) << "swallowed";
    EXPECT_TRUE(sink->entries.empty());

    sink->setLevel(LogLevel::TRACE);
    LOG(loggerGame, INFO) << static_cast<std::uint8_t>(65) << 65;
    EXPECT_EQ(sink->entries, (std::vector<std::string>{"INFO - A65\n"}));
    root->removeSink(sink);
}

TEST_F(LogFacility, LevelNames) {
    EXPECT_EQ(levelText(LogLevel::ERR), "ERROR");
    EXPECT_EQ(levelText(LogLevel::INFO), "INFO");
    EXPECT_EQ(levelText(LogLevel::OFF), "OFF");
    EXPECT_EQ(levelText(LogLevel::INHERIT), "???");
    EXPECT_EQ(levelText(static_cast<LogLevel>(42)), "???");
    EXPECT_EQ(LogLevel::DEFAULT, LogLevel::WARN);
    EXPECT_EQ(LogLevel::ALL, LogLevel::TRACE);
}
