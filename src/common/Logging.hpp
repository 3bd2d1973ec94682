// The program's named loggers, its fixed log configuration and the one log statement form:
//
//     LOG(loggerMap, ERR) << "Invalid map width " << width;
//
// When the level is disabled on the logger, none of the inserted parts is evaluated.
#pragma once

#include <string>

#include "logcraft/logging.hpp"

using logcraft::LogPtr;

extern LogPtr loggerMap;
extern LogPtr loggerNetwork;
extern LogPtr loggerGame;
extern LogPtr loggerConsole;
extern LogPtr loggerServer;
extern LogPtr loggerMatchpoint;
extern LogPtr loggerAI;

namespace Logging {

LogPtr getLogger(const char* name);

// Installs the fixed configuration: timestamped lines on standard output from INFO up, and
// bare messages for "reversi.matchpoint". The settings file name is accepted but not read.
bool setupLogging(const std::string& settingsFile);

logcraft::LogLevel getLogLevel(const LogPtr& logger);
void setLogLevel(const LogPtr& logger, const logcraft::LogLevel& level);

// Turns the statement's LogStream into void so that it fits the conditional operator.
struct Voidify {
    void operator&(const logcraft::LogStream&) const {}
};

} // namespace Logging

#define LOG(LOGGER, LEVEL)                                                                         \
    !(LOGGER)->isEnabled(logcraft::LogLevel::LEVEL)                                                \
        ? (void)0                                                                                  \
        : ::Logging::Voidify() &                                                                   \
              (LOGGER)->log(logcraft::LogLevel::LEVEL,                                             \
                            logcraft::EntryContext(__FILE__, __LINE__, __func__))
