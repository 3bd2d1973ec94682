// The frame of every command-line program: it parses the common options, sets up logging and
// then runs the program's work.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "opta/Opta.hpp"

// A program derives from Tool and implements doRun. To add options it overrides
// parseOptions, adds its arguments to the parser (for instance to parser.arguments()) and
// returns the result of Tool::parseOptions, which adds the common options and parses.
class Tool {
public:
    static const char* const Version;

    Tool() = default;
    virtual ~Tool() = default;
    Tool(const Tool&) = delete;
    Tool& operator=(const Tool&) = delete;

    // Prepares the program from the command line; true when it may run.
    bool init(int argc, const char* const* argv);
    // The program's work; false at once when init did not succeed.
    bool run();
    // Declares the program's options as init does, but instead of reading a command line hands
    // the parser to inspect, for listings such as manual pages and shell completions. The
    // program stays uninitialised.
    void declareOptions(const std::function<void(OPTA::ArgumentParser&)>& inspect);

protected:
    virtual bool doRun() = 0;
    // Declares the common options, parses the command line and sets up logging. Errors, help
    // and version texts go to standard error and give false.
    virtual bool parseOptions(OPTA::ArgumentParser& parser);

private:
    bool m_initOK = false;
    int m_argc = 0;
    const char* const* m_argv = nullptr;
    const std::function<void(OPTA::ArgumentParser&)>* m_inspect = nullptr;
};

// A repeatable string option: every occurrence appends its value to `list`; `slot` receives the
// last one. `letter` 0 gives an option with a long name only.
OPTA::VariableArgument<std::string> listOption(std::string& slot, std::vector<std::string>& list,
                                               const std::string& description, char letter,
                                               const std::string& name,
                                               const std::string& valueName);
