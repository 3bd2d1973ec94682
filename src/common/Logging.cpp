#include "common/Logging.hpp"

#include <iostream>

LogPtr loggerMap = Logging::getLogger("reversi.map");
LogPtr loggerNetwork = Logging::getLogger("reversi.network");
LogPtr loggerGame = Logging::getLogger("reversi.game");
LogPtr loggerConsole = Logging::getLogger("reversi.console");
LogPtr loggerServer = Logging::getLogger("reversi.server");
LogPtr loggerMatchpoint = Logging::getLogger("reversi.matchpoint");
LogPtr loggerAI = Logging::getLogger("reversi.ai");

namespace Logging {

using namespace logcraft;

LogPtr getLogger(const char* name) {
    return Logger::getLogger(std::string(name));
}

// A second setup replaces the sinks of the first instead of doubling every line.
bool setupLogging(const std::string&) {
    static SinkPtr installedRoot;
    static SinkPtr installedMatchpoint;
    Logger::initialize();
    auto root = Logger::getRootLogger();
    root->removeSink(installedRoot);
    loggerMatchpoint->removeSink(installedMatchpoint);
    auto sink = StreamSink::create(std::cout);
    root->addSink(sink);
    root->setLevel(LogLevel::INFO);
    sink->setFormatter(makeTemplateFormatter('[', FieldStr<Field::LogLevel, 5, RIGHT, ' '>(), ']',
                                             ' ', TimeStr("%H:%M:%S"), ' ',
                                             FieldStr<Field::Message, 0, RIGHT, ' '>(), "\n"));
    auto matchpoint = StreamSink::create(std::cout);
    matchpoint->setFormatter(makeTemplateFormatter(FieldStr<Field::Message, 0, RIGHT, ' '>()));
    loggerMatchpoint->addSink(matchpoint);
    loggerMatchpoint->setAdditive(false);
    installedRoot = sink;
    installedMatchpoint = matchpoint;
    return true;
}

LogLevel getLogLevel(const LogPtr& logger) {
    return logger->getLevel();
}

void setLogLevel(const LogPtr& logger, const LogLevel& level) {
    logger->setLevel(level);
}

} // namespace Logging
