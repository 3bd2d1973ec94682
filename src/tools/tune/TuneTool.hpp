// reversi-tune: tunes the parameters of reversi-ai, with the method as its first word; the
// methods are listed in one table, TuneTool::commands.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/Subcommands.hpp"
#include "common/Tool.hpp"
#include "tools/tune/SpsaRun.hpp"
#include "tools/tune/Texel.hpp"

class TuneTool : public Tool {
public:
    using CommandForm = ::CommandForm;
    using Command = Subcommand<TuneTool>;
    static const std::vector<Command>& commands();

protected:
    bool parseOptions(OPTA::ArgumentParser& parser) override;
    bool doRun() override;

private:
    struct CommandLine;
    static std::string usage();
    static std::string commandNames();

    bool given(const char* name) const;
    bool spsa();
    bool texel();
    // The checks of spsa's options; each mistake adds its message to `errors`.
    void checkSpsa(std::vector<std::string>& errors);
    // The shell command of a job of the list, up to the number of its game.
    std::string jobCommand() const;

    std::string m_command;
    SpsaOptions m_spsa;
    std::vector<std::string> m_generateTexts;
    double m_stability = 0;
    std::uint32_t m_seed = 0;
    // texel: the records to fit and to test on, where to write the fit and how to sample it.
    std::vector<std::string> m_files;
    std::vector<std::string> m_test;
    std::string m_patterns;
    std::string m_paramsOut;
    std::string m_patternsOut;
    unsigned m_every = 3;
    unsigned m_skip = 4;
    double m_rate = 1.0;
    double m_l2 = 1e-6;
    double m_scalarL2 = 1e-4;
    // The options given, by long name, for chooseSubcommand.
    std::vector<std::string> m_given;
};
