// Writes the bash completion script of a program. The script needs nothing but bash itself
// (no bash-completion helpers), so it can be sourced and tried in a plain shell.
#include "tools/manpages/Completion.hpp"

#include <algorithm>
#include <cctype>
#include <sstream>

namespace {

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// The shell line that offers those of the words that start with the word being completed.
std::string offerWords(const std::string& words) {
    return "_reversi_offer < <(compgen -W \"" + words + "\" -- \"$cur\")";
}

// The shell lines that complete the value of an option, or a positional word; none when
// nothing is offered. The kind is read from the option's long names and value name.
std::vector<std::string> valueAction(const OptionDoc& option) {
    const std::string value = option.valueName;
    std::string lower(value.size(), ' ');
    std::transform(value.begin(), value.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    const bool isMap =
        contains(lower, "map") || std::count(option.names.begin(), option.names.end(), "map") > 0;
    const std::string filenames = "compopt -o filenames 2>/dev/null";
    if (!lower.empty() && isMap) {
        return {filenames,
                "_reversi_offer < <(compgen -d -- \"$cur\"; compgen -f -X '!*.map' -- \"$cur\")"};
    }
    if (contains(lower, "dir")) {
        return {filenames, "_reversi_offer < <(compgen -d -- \"$cur\")"};
    }
    if (contains(lower, "file") || contains(lower, "path")) {
        return {filenames, "_reversi_offer < <(compgen -f -- \"$cur\")"};
    }
    if (contains(value, "|") &&
        value.find_first_not_of("abcdefghijklmnopqrstuvwxyz|") == std::string::npos) {
        std::string words = value;
        std::replace(words.begin(), words.end(), '|', ' ');
        return {offerWords(words)};
    }
    return {};
}

// The lines, each indented, then a return from the completion function.
void writeAndReturn(std::ostream& out, const std::vector<std::string>& lines,
                    const std::string& indent) {
    for (const std::string& line : lines) {
        out << indent << line << "\n";
    }
    out << indent << "return\n";
}

std::string functionName(const std::string& program) {
    std::string name = "_" + program;
    std::replace(name.begin(), name.end(), '-', '_');
    return name;
}

std::string joined(const std::vector<std::string>& words, const std::string& separator) {
    std::string text;
    for (const std::string& word : words) {
        text += (text.empty() ? "" : separator) + word;
    }
    return text;
}

// One case arm per way of completing a value, with the spellings of every option whose value
// is completed that way.
void writeValueCases(std::ostream& out, const std::vector<OptionDoc>& options) {
    std::vector<std::pair<std::vector<std::string>, std::vector<std::string>>> arms;
    for (const OptionDoc& option : options) {
        if (option.positional() || option.valueName.empty()) {
            continue;
        }
        std::vector<std::string> action = valueAction(option);
        action = action.empty() ? std::vector<std::string>{"COMPREPLY=()"} : action;
        const auto arm = std::find_if(arms.begin(), arms.end(), [&action](const auto& known) {
            return known.first == action;
        });
        auto& spellings = arm == arms.end()
                              ? arms.emplace_back(action, std::vector<std::string>{}).second
                              : arm->second;
        const auto mine = option.spellings();
        spellings.insert(spellings.end(), mine.begin(), mine.end());
    }
    out << "    case \"$prev\" in\n";
    for (const auto& [action, spellings] : arms) {
        out << "    " << joined(spellings, "|") << ")\n";
        writeAndReturn(out, action, "        ");
        out << "        ;;\n";
    }
    out << "    esac\n";
}

// The words that stand where no option is: subcommands first, then what the first positional
// word with a kind takes, else the options.
void writeWords(std::ostream& out, const ProgramDoc& program, const std::vector<OptionDoc>& options,
                const std::string& optionWords) {
    if (!program.subcommands.empty()) {
        std::vector<std::string> names;
        for (const SubcommandDoc& subcommand : program.subcommands) {
            if (std::count(names.begin(), names.end(), subcommandName(subcommand)) == 0) {
                names.push_back(subcommandName(subcommand));
            }
        }
        out << "    if ((COMP_CWORD == 1)); then\n";
        writeAndReturn(out, {offerWords(joined(names, " "))}, "        ");
        out << "    fi\n";
    }
    for (const OptionDoc& option : options) {
        if (option.positional() && !valueAction(option).empty()) {
            writeAndReturn(out, valueAction(option), "    ");
            return;
        }
    }
    out << "    " << offerWords(optionWords) << "\n";
}

} // namespace

std::string bashCompletion(const ProgramDoc& program, const std::vector<OptionDoc>& options) {
    std::vector<std::string> spellings;
    for (const OptionDoc& option : options) {
        for (const std::string& spelling : option.spellings()) {
            spellings.push_back(spelling);
        }
    }
    const std::string optionWords = joined(spellings, " ");
    const std::string name = functionName(program.name);
    std::ostringstream out;
    out << "# Bash completion of " << program.name
        << ", written from its option declarations by reversi-manpages.\n\n"
        << "# The lines on standard input become the offered words.\n"
        << "_reversi_offer() {\n    mapfile -t COMPREPLY\n}\n\n"
        << name << "() {\n"
        << "    local cur=\"${COMP_WORDS[COMP_CWORD]}\" prev=\"\"\n"
        << "    ((COMP_CWORD > 0)) && prev=\"${COMP_WORDS[COMP_CWORD - 1]}\"\n"
        << "    # bash splits --name=value at the '=' into three words.\n"
        << "    if [[ $cur == \"=\" ]]; then\n        cur=\"\"\n"
        << "    elif [[ $prev == \"=\" ]] && ((COMP_CWORD > 1)); then\n"
        << "        prev=\"${COMP_WORDS[COMP_CWORD - 2]}\"\n    fi\n";
    writeValueCases(out, options);
    out << "    if [[ $cur == -* ]]; then\n";
    writeAndReturn(out, {offerWords(optionWords)}, "        ");
    out << "    fi\n";
    writeWords(out, program, options, optionWords);
    out << "}\n\ncomplete -F " << name << " " << program.name << "\n";
    return out.str();
}
