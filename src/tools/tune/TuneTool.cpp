// reversi-tune's command line: the table of methods, their options and the checks of them.
#include "tools/tune/TuneTool.hpp"

#include <algorithm>
#include <filesystem>
#include <iomanip>
#include <iostream>
#include <sstream>
#include <thread>

#include "arena/GameRun.hpp"
#include "arena/PlayerList.hpp"
#include "common/Logging.hpp"

namespace {

// Bounds on what the command line may ask for, so that a typo cannot plan billions of games.
constexpr unsigned MaxIterations = 1000000;
constexpr unsigned MaxPairs = 10000;
constexpr unsigned MaxConcurrency = 256;

} // namespace

// "spsa", or the names of every method separated by "|".
std::string TuneTool::commandNames() {
    std::string names;
    for (const Command& command : commands()) {
        names += (names.empty() ? "" : "|") + std::string(command.name);
    }
    return names;
}

const std::vector<TuneTool::Command>& TuneTool::commands() {
    static const std::vector<Command> table = {
        {"spsa",
         {{"spsa --tune NAME[:C[:A]]... (-m MAP | --generate RECIPE)... [-t MS | -d N] "
           "[-n ITERATIONS] [-g PAIRS] [-j N] [-o OUT.params] [--history OUT.csv] "
           "[--params FILE | --resume]",
           "tune search parameters by games between two perturbed copies"},
          {"spsa ... [--resume] --emit-jobs FILE | spsa ... --resume (--single-game K | --collect "
           "[--emit-jobs FILE])",
           "the same with each iteration's games as jobs for other machines"}},
         {"tune",        "map",  "generate",  "timelimit", "depthlimit",  "iterations", "pairs",
          "concurrency", "out",  "history",   "params",    "resume",      "seed",       "ai",
          "server",      "work", "stability", "emit-jobs", "single-game", "collect"},
         &TuneTool::spsa},
        {"texel",
         {{"texel RECORDS... [--test RECORDS]... [--params FILE] [--patterns FILE] "
           "[--write-params FILE] [--write-patterns FILE] [--every N] [--skip N] "
           "[-n ITERATIONS] [--rate R] [--l2 L] [--scalar-l2 L]",
           "fit the evaluation weights to the results of recorded games"}},
         {"test", "params", "patterns", "write-params", "write-patterns", "every", "skip",
          "iterations", "rate", "l2", "scalar-l2"},
         &TuneTool::texel},
    };
    return table;
}

// One line per form: the synopsis, broken before an option where it is long (where it has one
// to break at), and on a line of its own what it does.
std::string TuneTool::usage() {
    constexpr std::size_t Width = 90;
    std::string text = "usage: reversi-tune COMMAND [options]\n";
    for (const Command& command : commands()) {
        for (const CommandForm& form : command.forms) {
            std::string rest = form.synopsis;
            std::string indent = "  ";
            while (rest.size() + indent.size() > Width) {
                const std::size_t cut = rest.rfind(" [", Width - indent.size());
                if (cut == 0 || cut == std::string::npos) {
                    break;
                }
                text += indent + rest.substr(0, cut) + "\n";
                rest = rest.substr(cut + 1);
                indent = "      ";
            }
            text += indent + rest + "\n      " + form.what + "\n";
        }
    }
    return text;
}

// The options of every subcommand, each bound to the field it fills; the repeatable ones
// collect their values through a slot of their own.
struct TuneTool::CommandLine {
    explicit CommandLine(TuneTool& tool);
    std::vector<OPTA::Argument*> all();

    std::string tuneSlot, mapSlot, generateSlot, fileSlot, testSlot;
    OPTA::VariableArgument<std::string> command, file;
    OPTA::VariableArgument<std::string> tune, map, generate;
    OPTA::VariableArgument<std::uint32_t> timelimit;
    OPTA::VariableArgument<unsigned> depthlimit, iterations, pairs, concurrency;
    OPTA::VariableArgument<std::string> out, history, params;
    OPTA::SwitchArgument resume;
    OPTA::VariableArgument<std::uint32_t> seed;
    OPTA::VariableArgument<std::string> ai, server, work;
    OPTA::VariableArgument<double> stability;
    OPTA::VariableArgument<std::string> jobs;
    OPTA::VariableArgument<unsigned> single;
    OPTA::SwitchArgument collect;
    OPTA::VariableArgument<std::string> test, patterns, paramsOut, patternsOut;
    OPTA::VariableArgument<unsigned> every, skip;
    OPTA::VariableArgument<double> rate, l2, scalarL2;
};

TuneTool::CommandLine::CommandLine(TuneTool& tool)
    : command(tool.m_command, "The method: " + commandNames()),
      file(fileSlot, "texel: game records or folders of them"),
      tune(listOption(tuneSlot, tool.m_spsa.tune,
                      "spsa: a parameter to tune, with its perturbation C and learning rate A "
                      "(repeatable)",
                      0, "tune", "NAME[:C[:A]]")),
      map(listOption(mapSlot, tool.m_spsa.maps, "A map to play on (repeatable)", 'm', "map",
                     "file")),
      generate(listOption(generateSlot, tool.m_generateTexts,
                          "Generated maps to play on, e.g. count=4:players=4:size=12x12 "
                          "(repeatable)",
                          0, "generate", "RECIPE")),
      timelimit(tool.m_spsa.timelimit, "Milliseconds per move (default 0: none)", 't', "timelimit"),
      depthlimit(tool.m_spsa.depthlimit, "Depth limit sent to the players (default 0: none)", 'd',
                 "depthlimit"),
      iterations(tool.m_spsa.iterations, "spsa: iterations (default 100)", 'n', "iterations"),
      pairs(tool.m_spsa.pairs, "spsa: game pairs per iteration, seats swapped (default 2)", 'g',
            "pairs"),
      concurrency(tool.m_spsa.concurrency, "Games at a time (default: the number of cores)", 'j',
                  "concurrency"),
      out(tool.m_spsa.out, "The tuned params file (default spsa.params)", 'o', "out"),
      history(tool.m_spsa.history,
              "spsa: the history CSV (default: the params file's name "
              "with .csv)",
              "history"),
      params(tool.m_spsa.startParams, "Start from the parameters of this file", "params"),
      resume(tool.m_spsa.resume, "spsa: go on from the iteration the --out file has reached",
             "resume"),
      seed(tool.m_seed, "Seed of the perturbations, the players and the generated maps", 's',
           "seed"),
      ai(tool.m_spsa.aiCommand,
         "spsa: the shell command of a player, {host} {port} {seed} replaced, parameters "
         "appended (default: reversi-ai next to this program)",
         "ai"),
      server(tool.m_spsa.serverPath, "The reversi-server program", "server"),
      work(tool.m_spsa.work, "Folder for generated maps and games (default spsa-work)", "work"),
      stability(tool.m_stability, "spsa: the schedules' constant A (default iterations / 10)",
                "stability"),
      jobs(tool.m_spsa.jobsFile, "spsa: write the next iteration's games as shell commands",
           "emit-jobs"),
      single(tool.m_spsa.singleGame, "spsa: play only game k of the next iteration", "single-game"),
      collect(tool.m_spsa.collect, "spsa: take the next iteration's step from its games' results",
              "collect"),
      test(listOption(testSlot, tool.m_test,
                      "texel: held-out records or folders (default: every fifth game)", 0, "test",
                      "path")),
      patterns(tool.m_patterns, "texel: start from these pattern weights", "patterns"),
      paramsOut(tool.m_paramsOut, "texel: write the fitted parameters here", "write-params"),
      patternsOut(tool.m_patternsOut, "texel: write the fitted pattern weights here",
                  "write-patterns"),
      every(tool.m_every, "texel: one position every N moves (3)", "every"),
      skip(tool.m_skip, "texel: skip the first N moves (4)", "skip"),
      rate(tool.m_rate, "texel: Adam step in evaluation points (1)", "rate"),
      l2(tool.m_l2, "texel: L2 penalty of the pattern weights (1e-6)", "l2"),
      scalarL2(tool.m_scalarL2, "texel: L2 penalty of the scalar weights' change (1e-4)",
               "scalar-l2") {
    command.valuename("COMMAND");
    timelimit.valuename("ms");
    depthlimit.valuename("n");
    iterations.valuename("n");
    pairs.valuename("n");
    concurrency.valuename("n");
    out.valuename("file");
    history.valuename("file");
    params.valuename("file");
    seed.valuename("n");
    ai.valuename("command");
    server.valuename("path");
    work.valuename("dir");
    stability.valuename("A");
    jobs.valuename("file");
    single.valuename("k");
    file.valuename("FILE").min(0).max(0);
    file.check_typed(
        [&tool](const auto&, const std::string& value) { tool.m_files.push_back(value); });
    for (auto* name : {&patterns, &paramsOut, &patternsOut}) {
        name->valuename("file");
    }
    every.valuename("N");
    skip.valuename("N");
    rate.valuename("R");
    l2.valuename("L");
    scalarL2.valuename("L");
}

std::vector<OPTA::Argument*> TuneTool::CommandLine::all() {
    return {&tune,   &map,         &generate, &timelimit, &depthlimit, &iterations,
            &pairs,  &concurrency, &out,      &history,   &params,     &resume,
            &seed,   &ai,          &server,   &work,      &stability,  &jobs,
            &single, &collect,     &test,     &patterns,  &paramsOut,  &patternsOut,
            &every,  &skip,        &rate,     &l2,        &scalarL2};
}

// Every option is declared for every subcommand, so that --help lists them all; the long names
// of those given are noted for chooseSubcommand.
bool TuneTool::parseOptions(OPTA::ArgumentParser& parser) {
    CommandLine line(*this);
    parser.arguments().add(line.command).add(line.file);
    for (OPTA::Argument* option : line.all()) {
        parser.arguments().add(*option);
    }
    parser.program_name("reversi-tune");
    if (!Tool::parseOptions(parser)) {
        return false;
    }
    for (OPTA::Argument* option : line.all()) {
        if (option->is_set()) {
            m_given.push_back(option->names().front());
        }
    }
    return true;
}

bool TuneTool::given(const char* name) const {
    return std::count(m_given.begin(), m_given.end(), name) > 0;
}

bool TuneTool::doRun() {
    const Command* command =
        chooseSubcommand(commands(), "reversi-tune", m_command, m_given, usage());
    return command != nullptr && (this->*command->run)();
}

void TuneTool::checkSpsa(std::vector<std::string>& errors) {
    if (m_spsa.tune.empty() || (m_spsa.maps.empty() && m_generateTexts.empty())) {
        errors.push_back("Give at least one --tune and one --map or --generate");
    }
    if (m_spsa.iterations == 0 || m_spsa.iterations > MaxIterations || m_spsa.pairs == 0 ||
        m_spsa.pairs > MaxPairs || m_spsa.concurrency > MaxConcurrency) {
        errors.push_back("Give 1 ... " + std::to_string(MaxIterations) + " iterations, 1 ... " +
                         std::to_string(MaxPairs) + " pairs and at most " +
                         std::to_string(MaxConcurrency) + " games at a time");
    }
    if (m_spsa.depthlimit > 255) {
        errors.push_back("The depth limit travels as one byte: give 0 to 255");
    }
    if (given("stability") && !(m_stability >= 0 && m_stability <= MaxIterations)) {
        errors.push_back("Give --stability from 0 to " + std::to_string(MaxIterations));
    }
    if (m_spsa.resume && (given("params") || given("seed"))) {
        errors.push_back("--resume takes the parameters and the seed from the --out file");
    }
    if ((given("single-game") || m_spsa.collect) && !m_spsa.resume) {
        errors.push_back("--single-game and --collect go on from the --out file: give --resume");
    }
    if (given("single-game") && (m_spsa.singleGame == 0 || m_spsa.collect || given("emit-jobs"))) {
        errors.push_back("--single-game takes a game from 1 and neither --collect nor "
                         "--emit-jobs");
    }
    for (const std::string& text : m_generateTexts) {
        MapBatch batch;
        std::string error;
        if (parseMapBatch(text, batch, error)) {
            m_spsa.generated.push_back(batch);
        } else {
            errors.push_back(error);
        }
    }
}

// Every mistake is reported, each on a line of its own, before the program gives up. Paths are
// made absolute, since the games run in folders of their own.
bool TuneTool::spsa() {
    std::vector<std::string> errors;
    checkSpsa(errors);
    for (const std::string& error : errors) {
        std::cerr << "reversi-tune: " << error << '\n';
    }
    if (!errors.empty()) {
        return false;
    }
    if (m_spsa.history.empty()) {
        m_spsa.history = std::filesystem::path(m_spsa.out).replace_extension(".csv").string();
    }
    if (m_spsa.aiCommand.empty()) {
        m_spsa.aiCommand =
            shellQuote(siblingProgram("reversi-ai")) + " -s {host} -p {port} --seed {seed}";
    }
    m_spsa.serverPath = m_spsa.serverPath.empty()
                            ? siblingProgram("reversi-server")
                            : std::filesystem::absolute(m_spsa.serverPath).string();
    m_spsa.concurrency = m_spsa.concurrency > 0 ? m_spsa.concurrency
                                                : std::max(1u, std::thread::hardware_concurrency());
    m_spsa.stability = given("stability") ? std::optional<double>(m_stability) : std::nullopt;
    m_spsa.seed = given("seed") ? std::optional<std::uint32_t>(m_seed) : std::nullopt;
    m_spsa.jobCommand = jobCommand();
    return runSpsa(m_spsa);
}

// Every job changes to the folder this program was started in, so that relative paths mean
// the same on every machine that shares the file system, and goes on from the --out file.
std::string TuneTool::jobCommand() const {
    std::ostringstream command;
    command << "cd " << shellQuote(std::filesystem::current_path().string()) << " && "
            << shellQuote(siblingProgram("reversi-tune")) << " spsa";
    for (const auto& [option, values] : {std::pair{"--tune", &m_spsa.tune},
                                         {"--map", &m_spsa.maps},
                                         {"--generate", &m_generateTexts}}) {
        for (const std::string& value : *values) {
            command << ' ' << option << ' ' << shellQuote(value);
        }
    }
    command << " --timelimit " << m_spsa.timelimit << " --depthlimit " << m_spsa.depthlimit
            << " --iterations " << m_spsa.iterations << " --pairs " << m_spsa.pairs << " --out "
            << shellQuote(m_spsa.out) << " --history " << shellQuote(m_spsa.history) << " --ai "
            << shellQuote(m_spsa.aiCommand) << " --server " << shellQuote(m_spsa.serverPath)
            << " --work " << shellQuote(m_spsa.work);
    if (given("stability")) {
        command << " --stability " << std::setprecision(17) << m_stability;
    }
    return command.str() + " --resume --single-game ";
}

// The rules engine's own log lines (a disqualification while replaying) are not the output of
// this program.
bool TuneTool::texel() {
    if (m_files.empty()) {
        std::cerr << "reversi-tune: texel needs game records\n" << usage();
        return false;
    }
    TexelRun run;
    std::string error;
    if ((!m_spsa.startParams.empty() && !loadParams(run.start, m_spsa.startParams, error)) ||
        (!m_patterns.empty() && !loadPatterns(run.start, m_patterns, error))) {
        std::cerr << "reversi-tune: " << error << '\n';
        return false;
    }
    Logging::setLogLevel(loggerGame, logcraft::LogLevel::WARN);
    run.train = m_files;
    run.test = m_test;
    run.sampling = {m_every, m_skip};
    run.options.iterations = given("iterations") ? m_spsa.iterations : 300;
    run.options.rate = m_rate;
    run.patternL2 = m_l2;
    run.scalarL2 = m_scalarL2;
    run.paramsOut = m_paramsOut;
    run.patternsOut = m_patternsOut;
    return runTexel(run);
}
