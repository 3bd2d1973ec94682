// reversi-tune: tunes the parameters of reversi-ai, with the method as its first word; the
// methods are listed in one table, TuneTool::commands.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/Tool.hpp"
#include "tools/tune/SpsaRun.hpp"

class TuneTool : public Tool {
public:
    // One way to call a subcommand, and what it does.
    struct CommandForm {
        const char* synopsis;
        const char* what;
    };
    // One subcommand: its name, its forms for the usage text and the manual page, the options
    // it takes by long name and the member that runs it. The table of them is the one place
    // the commands are named.
    struct Command {
        const char* name;
        std::vector<CommandForm> forms;
        std::vector<std::string> options;
        bool (TuneTool::*run)();
    };
    static const std::vector<Command>& commands();

protected:
    bool parseOptions(OPTA::ArgumentParser& parser) override;
    bool doRun() override;

private:
    struct CommandLine;
    static std::string usage();
    static std::string commandNames();

    // The subcommand named on the command line, when it exists and fits the options given:
    // options that belong to another subcommand are refused rather than ignored.
    const Command* chosenCommand() const;
    bool given(const char* name) const;
    bool spsa();
    // The checks of spsa's options; each mistake adds its message to `errors`.
    void checkSpsa(std::vector<std::string>& errors);

    std::string m_command;
    SpsaOptions m_spsa;
    std::vector<std::string> m_generateTexts;
    double m_stability = 0;
    std::uint32_t m_seed = 0;
    // The options given, by long name, for chosenCommand.
    std::vector<std::string> m_given;
};
