// Writes a manual page from a program's texts and declared options. Every text goes through
// the escaping of man(7), so help texts may hold any characters.
#include "tools/manpages/ManPage.hpp"

#include <algorithm>
#include <cctype>
#include <sstream>

namespace {

// One line of text: backslashes escaped, line breaks made blanks, and a control character at
// the start made harmless.
std::string plain(const std::string& text) {
    std::string out = text.starts_with(".") || text.starts_with("'") ? "\\&" : "";
    for (const char c : text) {
        out += c == '\\' ? std::string("\\e") : std::string(1, c == '\n' ? ' ' : c);
    }
    return out;
}

// As plain, with the hyphens of options and commands typed as the ASCII minus sign.
std::string literal(const std::string& text) {
    std::string out;
    for (const char c : plain(text)) {
        out += c == '-' ? std::string("\\-") : std::string(1, c);
    }
    return out;
}

std::string bold(const std::string& text) {
    return "\\fB" + literal(text) + "\\fR";
}

std::string italic(const std::string& text) {
    return "\\fI" + plain(text) + "\\fR";
}

// "-l, --log filename" for an option, "FILE..." for a positional word.
std::string optionHeading(const OptionDoc& option) {
    std::string heading;
    for (const std::string& spelling : option.spellings()) {
        heading += (heading.empty() ? "" : ", ") + bold(spelling);
    }
    if (!option.valueName.empty()) {
        heading += (heading.empty() ? "" : " ") + italic(option.valueName);
    }
    return heading + (option.positional() && option.repeatable ? "..." : "");
}

// "[-l filename]", kept on one line; required options and positional words without brackets,
// "..." after one that may be repeated (not taken for the end of a sentence).
std::string synopsisItem(const OptionDoc& option) {
    std::string item = option.positional() ? italic(option.valueName) : bold(option.shortest());
    if (!option.positional() && !option.valueName.empty()) {
        item += " " + italic(option.valueName);
    }
    item = option.required || option.positional() ? item : "[" + item + "]";
    item += option.repeatable ? "...\\&" : "";
    std::string unbroken;
    for (const char c : item) {
        unbroken += c == ' ' ? std::string("\\ ") : std::string(1, c);
    }
    return unbroken;
}

std::string upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

// One line per subcommand for a program that has them, else the program with its options.
void writeSynopsis(std::ostream& out, const ProgramDoc& program,
                   const std::vector<OptionDoc>& options) {
    out << ".SH SYNOPSIS\n";
    for (const SubcommandDoc& subcommand : program.subcommands) {
        out << ".br\n" << bold(program.name) << " " << bold(subcommand.usage) << "\n";
    }
    if (!program.subcommands.empty()) {
        return;
    }
    out << ".B " << literal(program.name) << "\n";
    for (const bool positional : {true, false}) {
        for (const OptionDoc& option : options) {
            if (option.positional() == positional) {
                out << synopsisItem(option) << "\n";
            }
        }
    }
}

void writeDescription(std::ostream& out, const ProgramDoc& program) {
    out << ".SH DESCRIPTION\n";
    for (const std::string& paragraph : program.description) {
        out << ".PP\n" << plain(paragraph) << "\n";
    }
    if (program.subcommands.empty()) {
        return;
    }
    out << ".SH COMMANDS\n";
    for (const SubcommandDoc& subcommand : program.subcommands) {
        out << ".TP\n" << bold(subcommand.usage) << "\n" << plain(subcommand.what) << "\n";
    }
}

void writeOptions(std::ostream& out, const std::vector<OptionDoc>& options) {
    out << ".SH OPTIONS\n";
    std::string set;
    for (const OptionDoc& option : options) {
        if (option.set != set) {
            set = option.set;
            out << ".SS " << plain(set) << "\n";
        }
        out << ".TP\n" << optionHeading(option) << "\n" << plain(option.help) << "\n";
    }
}

// The other programs of the project.
void writeSeeAlso(std::ostream& out, const ProgramDoc& program) {
    out << ".SH SEE ALSO\n";
    std::string list;
    for (const ProgramDoc& other : programDocs()) {
        if (other.name != program.name) {
            list += (list.empty() ? "" : ",\n") + bold(other.name) + "(1)";
        }
    }
    out << list << "\n";
}

} // namespace

std::string manPage(const ProgramDoc& program, const std::vector<OptionDoc>& options,
                    const std::string& version) {
    std::ostringstream out;
    out << ".\\\" Written from the program's own option declarations by reversi-manpages.\n"
        << ".TH " << literal(upper(program.name)) << " 1 \"\" \"reversi " << plain(version)
        << "\" \"User Commands\"\n"
        << ".nh\n.ad l\n"
        << ".SH NAME\n"
        << literal(program.name) << " \\- " << plain(program.summary) << "\n";
    writeSynopsis(out, program, options);
    writeDescription(out, program);
    writeOptions(out, options);
    out << ".SH EXIT STATUS\n"
        << plain(program.success) << "; 1 otherwise. " << bold("--help") << " and "
        << bold("--version") << " write their text to standard error and exit with status 1.\n";
    writeSeeAlso(out, program);
    return out.str();
}
