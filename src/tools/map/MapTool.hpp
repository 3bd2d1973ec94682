// reversi-map: one program for the work around maps and game records, with a subcommand as
// its first word; the commands are listed in one table, MapTool::commands.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/Subcommands.hpp"
#include "common/Tool.hpp"
#include "tools/map/MapGenerator.hpp"

class MapTool : public Tool {
public:
    using CommandForm = ::CommandForm;
    using Command = Subcommand<MapTool>;
    static const std::vector<Command>& commands();

protected:
    bool parseOptions(OPTA::ArgumentParser& parser) override;
    bool doRun() override;

private:
    static std::string usage();

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
    // The options given, by long name, for chooseSubcommand.
    std::vector<std::string> m_given;
};
