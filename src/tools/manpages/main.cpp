// reversi-manpages: a build-time program, not installed. It writes the manual page
// OUT/man1/NAME.1 and the bash completion OUT/completions/NAME of every program, from the
// options each program declares. Exit status 0 when every file was written, 1 otherwise.
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#include "common/Tool.hpp"
#include "tools/manpages/Completion.hpp"
#include "tools/manpages/ManPage.hpp"
#include "tools/manpages/ProgramDocs.hpp"

namespace {

bool writeFile(const std::filesystem::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
    out.close();
    if (!out) {
        std::cerr << "reversi-manpages: cannot write " << path.string() << '\n';
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: reversi-manpages OUT\n";
        return 1;
    }
    const std::filesystem::path out(argv[1]);
    std::error_code error;
    std::filesystem::create_directories(out / "man1", error);
    std::filesystem::create_directories(out / "completions", error);
    bool written = true;
    for (const ProgramDoc& program : programDocs()) {
        const auto tool = program.make();
        const auto options = declaredOptions(*tool);
        written = writeFile(out / "man1" / (program.name + ".1"),
                            manPage(program, options, Tool::Version)) &&
                  writeFile(out / "completions" / program.name, bashCompletion(program, options)) &&
                  written;
    }
    return written ? 0 : 1;
}
