#include "common/Tool.hpp"

#include <cstdlib>
#include <iostream>
#include <string>
#include <unistd.h>

#include "Config.hpp"
#include "common/Logging.hpp"
#include "common/colors.hpp"

const char* const Tool::Version = REVERSI_VERSION;

namespace {

// Colours go to a terminal, or anywhere when CLICOLOR_FORCE is set and not 0 (as scripts/play
// sets it for the client whose output it copies on its way to the terminal), and never when the
// user asked for none through NO_COLOR.
bool colorWanted() {
    const char* noColor = std::getenv("NO_COLOR");
    const char* force = std::getenv("CLICOLOR_FORCE");
    const bool forced = force != nullptr && *force != '\0' && std::string(force) != "0";
    return (isatty(STDOUT_FILENO) == 1 || forced) && (noColor == nullptr || *noColor == '\0');
}

} // namespace

bool Tool::init(int argc, const char* const* argv) {
    m_initOK = false;
    m_argc = argc;
    m_argv = argv;
    OPTA::ArgumentParser parser;
    m_initOK = parseOptions(parser);
    return m_initOK;
}

bool Tool::run() {
    return m_initOK && doRun();
}

void Tool::declareOptions(const std::function<void(OPTA::ArgumentParser&)>& inspect) {
    static const char* const argv[] = {"reversi", nullptr};
    m_inspect = &inspect;
    init(1, argv);
    m_inspect = nullptr;
}

// Help and version throw their text from the option's check, so they leave the parser like
// an error does and options after them are not looked at.
bool Tool::parseOptions(OPTA::ArgumentParser& parser) {
    if (m_argc < 1) {
        return false;
    }
    OPTA::ValueArgument<std::string> logSettings("File to load &log settings from");
    logSettings.valuename("filename");
    OPTA::SwitchArgument noColor("Disable ANSI colors when printing", "nocolor");
    OPTA::Argument help("Show this &help text");
    help.check([&parser](const OPTA::Argument&) { throw OPTA::exception(parser.help()); });
    OPTA::Argument version("Show &version information");
    version.check([](const OPTA::Argument&) {
        throw OPTA::exception(std::string(Version) + " build " + __DATE__);
    });
    OPTA::ArgumentSet toolArgs("Basic options");
    toolArgs.add(logSettings).add(noColor).add(help).add(version);
    parser.add(toolArgs);
    if (m_inspect != nullptr) {
        (*m_inspect)(parser);
        return false;
    }
    try {
        parser.parse(m_argc, m_argv);
    } catch (const OPTA::exception& e) {
        std::cerr << e.what() << std::endl;
        return false;
    }
    ansi::enableColor = !noColor.value() && colorWanted();
    if (!Logging::setupLogging(logSettings.value())) {
        std::cerr << "Error: Unable to setup logging." << std::endl;
        return false;
    }
    return true;
}

// The value of each occurrence is appended in the check that runs with it.
OPTA::VariableArgument<std::string> listOption(std::string& slot, std::vector<std::string>& list,
                                               const std::string& description, char letter,
                                               const std::string& name,
                                               const std::string& valueName) {
    OPTA::VariableArgument<std::string> option =
        letter != 0 ? OPTA::VariableArgument<std::string>(slot, description, letter, name)
                    : OPTA::VariableArgument<std::string>(slot, description, name);
    option.valuename(valueName);
    option.max(0);
    option.check_typed([&list](const OPTA::TypedArgument<std::string>&, const std::string& value) {
        list.push_back(value);
    });
    return option;
}
