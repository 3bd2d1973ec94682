// reversi-map: one program for the work around maps and game records, with a subcommand as
// its first word; the commands are listed in one table, MapTool::commands.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/Tool.hpp"
#include "tools/map/MapGenerator.hpp"

class MapTool : public Tool {
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
        bool (MapTool::*run)();
    };
    static const std::vector<Command>& commands();

protected:
    bool parseOptions(OPTA::ArgumentParser& parser) override;
    bool doRun() override;

private:
    static std::string usage();

    // The subcommand named on the command line, when it exists and fits the options given:
    // options that belong to another subcommand are refused rather than ignored.
    const Command* chosenCommand() const;
    bool check();
    bool format();
    bool stats();
    bool render();
    bool replay();
    bool generate();
    bool oneFile(std::string& file) const;
    bool generatorOptions(GeneratorOptions& options) const;

    std::string m_command;
    std::vector<std::string> m_files;
    // Where the parser puts each file word before it is appended to m_files.
    std::string m_lastFile;
    std::string m_output;
    bool m_inPlace = false;
    std::string m_record;
    unsigned m_move = 0;
    bool m_moveGiven = false;
    unsigned m_games = 0;
    std::uint32_t m_seed = 0;
    bool m_seedGiven = false;
    unsigned m_players = 2;
    std::string m_size = "8x8";
    unsigned m_holes = 0;
    unsigned m_transitions = 0;
    std::string m_specials = "0,0,0,0";
    unsigned m_overrides = 0;
    std::string m_bombs = "0,0";
    // The options given, by long name, for checkOptionsFit.
    std::vector<std::string> m_given;
};
