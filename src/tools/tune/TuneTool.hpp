// reversi-tune: the tuning of the AI's parameters, with a method as its first word; the methods
// are listed in one table, TuneTool::commands.
#pragma once

#include <string>
#include <vector>

#include "common/Tool.hpp"
#include "tools/tune/Texel.hpp"

class TuneTool : public Tool {
public:
    // One method: its name, synopsis and meaning for the usage text and the manual page, the
    // options it takes by long name and the member that runs it.
    struct Command {
        const char* name;
        const char* synopsis;
        const char* what;
        std::vector<std::string> options;
        bool (TuneTool::*run)();
    };
    static const std::vector<Command>& commands();

protected:
    bool parseOptions(OPTA::ArgumentParser& parser) override;
    bool doRun() override;

private:
    static std::string usage();
    const Command* chosenCommand() const;
    bool texel();

    std::string m_command;
    std::vector<std::string> m_files;
    std::string m_lastFile;
    std::vector<std::string> m_test;
    std::string m_lastTest;
    std::string m_params;
    std::string m_patterns;
    std::string m_paramsOut;
    std::string m_patternsOut;
    unsigned m_every = 3;
    unsigned m_skip = 4;
    unsigned m_iterations = 300;
    double m_rate = 1.0;
    double m_l2 = 1e-6;
    double m_scalarL2 = 1e-4;
    // The options given, by long name, to refuse those of another method.
    std::vector<std::string> m_given;
};
