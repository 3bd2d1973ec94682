// The command table of reversi-tune, its options and the run of each method.
#include "tools/tune/TuneTool.hpp"

#include <iostream>

#include "common/Logging.hpp"
#include "common/Subcommands.hpp"

const std::vector<TuneTool::Command>& TuneTool::commands() {
    static const std::vector<Command> table = {
        {"texel",
         "texel RECORDS... [--test RECORDS]... [--params FILE] [--patterns FILE] "
         "[--write-params FILE] [--write-patterns FILE] [--every N] [--skip N] "
         "[--iterations N] [--rate R] [--l2 L] [--scalar-l2 L]",
         "fit the evaluation weights to the results of recorded games",
         {"test", "params", "patterns", "write-params", "write-patterns", "every", "skip",
          "iterations", "rate", "l2", "scalar-l2"},
         &TuneTool::texel},
    };
    return table;
}

std::string TuneTool::usage() {
    std::string text = "usage: reversi-tune METHOD [FILE...] [options]\n";
    for (const Command& command : commands()) {
        text += "  " + std::string(command.synopsis) + "\n      " + command.what + "\n";
    }
    return text;
}

// Every option is declared for every method, so that --help lists them all; each one notes
// its long name when met, for chosenCommand.
bool TuneTool::parseOptions(OPTA::ArgumentParser& parser) {
    const auto note = [this](const char* name) {
        return [this, name](const auto&, const auto&) { m_given.push_back(name); };
    };
    OPTA::VariableArgument<std::string> command(m_command, commandNames(commands()));
    command.valuename("METHOD");
    OPTA::VariableArgument<std::string> file(m_lastFile, "Game records or folders of them");
    file.valuename("FILE").min(0).max(0);
    file.check_typed([this](const auto&, const std::string& value) { m_files.push_back(value); });
    auto test = listOption(m_lastTest, m_test,
                           "texel: held-out records or folders (default: every fifth game)", 0,
                           "test", "path");
    test.check_typed([this](const auto&, const std::string& value) {
        m_test.push_back(value);
        m_given.push_back("test");
    });
    OPTA::VariableArgument<std::string> params(m_params, "texel: start from these parameters",
                                               "params");
    params.valuename("file").check_typed(note("params"));
    OPTA::VariableArgument<std::string> patterns(
        m_patterns, "texel: start from these pattern weights", "patterns");
    patterns.valuename("file").check_typed(note("patterns"));
    OPTA::VariableArgument<std::string> paramsOut(
        m_paramsOut, "texel: write the fitted parameters here", "write-params");
    paramsOut.valuename("file").check_typed(note("write-params"));
    OPTA::VariableArgument<std::string> patternsOut(
        m_patternsOut, "texel: write the fitted pattern weights here", "write-patterns");
    patternsOut.valuename("file").check_typed(note("write-patterns"));
    OPTA::VariableArgument<unsigned> every(m_every, "texel: one position every N moves (3)",
                                           "every");
    every.valuename("N").check_typed(note("every"));
    OPTA::VariableArgument<unsigned> skip(m_skip, "texel: skip the first N moves (4)", "skip");
    skip.valuename("N").check_typed(note("skip"));
    OPTA::VariableArgument<unsigned> iterations(m_iterations, "texel: Adam iterations (300)",
                                                "iterations");
    iterations.valuename("N").check_typed(note("iterations"));
    OPTA::VariableArgument<double> rate(m_rate, "texel: Adam step in evaluation points (1)",
                                        "rate");
    rate.valuename("R").check_typed(note("rate"));
    OPTA::VariableArgument<double> l2(m_l2, "texel: L2 penalty of the pattern weights (1e-6)",
                                      "l2");
    l2.valuename("L").check_typed(note("l2"));
    OPTA::VariableArgument<double> scalarL2(
        m_scalarL2, "texel: L2 penalty of the scalar weights' change (1e-4)", "scalar-l2");
    scalarL2.valuename("L").check_typed(note("scalar-l2"));
    parser.arguments()
        .add(command)
        .add(file)
        .add(test)
        .add(params)
        .add(patterns)
        .add(paramsOut)
        .add(patternsOut)
        .add(every)
        .add(skip)
        .add(iterations)
        .add(rate)
        .add(l2)
        .add(scalarL2);
    parser.program_name("reversi-tune");
    return Tool::parseOptions(parser);
}

const TuneTool::Command* TuneTool::chosenCommand() const {
    return chooseCommand(commands(), "reversi-tune", m_command, m_given, usage());
}

// The rules engine's own log lines (a disqualification while replaying) are not the output of
// this program.
bool TuneTool::doRun() {
    const Command* command = chosenCommand();
    if (command == nullptr) {
        return false;
    }
    Logging::setLogLevel(loggerGame, logcraft::LogLevel::WARN);
    return (this->*command->run)();
}

bool TuneTool::texel() {
    TexelRun run;
    std::string error;
    if (m_files.empty()) {
        std::cerr << "reversi-tune: texel needs game records\n" << usage();
        return false;
    }
    if ((!m_params.empty() && !loadParams(run.start, m_params, error)) ||
        (!m_patterns.empty() && !loadPatterns(run.start, m_patterns, error))) {
        std::cerr << "reversi-tune: " << error << '\n';
        return false;
    }
    run.train = m_files;
    run.test = m_test;
    run.sampling = {m_every, m_skip};
    run.options.iterations = m_iterations;
    run.options.rate = m_rate;
    run.patternL2 = m_l2;
    run.scalarL2 = m_scalarL2;
    run.paramsOut = m_paramsOut;
    run.patternsOut = m_patternsOut;
    return runTexel(run);
}
