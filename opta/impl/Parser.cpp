#include "opta/Parser.hpp"

#include <algorithm>
#include <stdexcept>

#include "opta/Exceptions.hpp"
#include "opta/TypedArgument.hpp"

namespace OPTA {

ArgumentParser::ArgumentParser()
    : m_argSets{ArgumentSet("Arguments")}, m_constraints("Constraints") {}

ArgumentParser& ArgumentParser::add(const ArgumentSet& set) {
    m_argSets.push_back(set);
    return *this;
}

ArgumentParser& ArgumentParser::add_constraint(const BaseArgument& constraint) {
    m_constraints.add(constraint);
    return *this;
}

void ArgumentParser::parse(int argc, const char* const* argv) {
    std::vector<std::string> tokens;
    if (argc > 0 && argv != nullptr) {
        tokens.assign(argv, argv + argc);
    }
    if (m_programName.empty() && !tokens.empty()) {
        m_programName = tokens.front();
    }
    std::size_t pos = 1;
    NextToken next = [&]() -> std::optional<std::string> {
        if (pos >= tokens.size()) {
            return std::nullopt;
        }
        return tokens[pos++];
    };
    bool positionalOnly = false;
    while (pos < tokens.size()) {
        const std::string token = tokens[pos++];
        if (positionalOnly) {
            parsePositional(token);
        } else if (token == skip) {
            positionalOnly = true;
        } else if (token.starts_with(nameStart)) {
            parseName(token, next);
        } else if (token.starts_with(flagStart) && token != flagStart) {
            parseFlags(token, next);
        } else {
            parsePositional(token);
        }
    }
    for (ArgumentSet& set : m_argSets) {
        set.check_valid();
    }
    m_constraints.check_valid();
}

// "--name" or "--name=value"; a value option without "=" takes the next word.
void ArgumentParser::parseName(const std::string& token, const NextToken& next) {
    const std::string body = token.substr(std::string(nameStart).size());
    const std::size_t delim = body.find(nameDelim);
    const std::string name = body.substr(0, delim);
    Argument* arg = lookup([&](const Argument& a) { return a.matches(name); });
    if (arg == nullptr) {
        throw unknown_argument(name);
    }
    if (!arg->takes_value()) {
        if (delim != std::string::npos) {
            throw argument_no_value(*arg);
        }
        arg->set();
    } else if (delim != std::string::npos) {
        set_arg_value(*arg, body.substr(delim + 1));
    } else {
        takeNextValue(*arg, next);
    }
}

// Switch letters are set one by one; the first letter that takes a value ends the cluster and
// gets the rest of it, or the next word when nothing is left.
void ArgumentParser::parseFlags(const std::string& token, const NextToken& next) {
    for (std::size_t i = 1; i < token.size(); ++i) {
        const char letter = token[i];
        Argument* arg = lookup([&](const Argument& a) { return a.matches(letter); });
        if (arg == nullptr) {
            throw unknown_argument(letter);
        }
        if (!arg->takes_value()) {
            arg->set();
        } else if (i + 1 < token.size()) {
            set_arg_value(*arg, token.substr(i + 1));
            return;
        } else {
            takeNextValue(*arg, next);
            return;
        }
    }
}

void ArgumentParser::parsePositional(const std::string& token) {
    Argument* arg = lookup([](const Argument& a) { return a.matches(); });
    if (arg == nullptr) {
        throw unknown_argument();
    }
    if (arg->takes_value()) {
        set_arg_value(*arg, token);
    } else {
        arg->set();
    }
}

void ArgumentParser::takeNextValue(Argument& arg, const NextToken& next) {
    std::optional<std::string> value = next();
    if (!value) {
        throw argument_missing_value(arg);
    }
    set_arg_value(arg, *value);
}

void ArgumentParser::set_arg_value(Argument& arg, const std::string& text) {
    if (!arg.takes_value()) {
        throw std::logic_error("Attempt to set value on non-valued argument");
    }
    auto* acceptor = dynamic_cast<ValueAcceptor*>(&arg);
    if (acceptor == nullptr) {
        throw std::logic_error("Requested value interface on non-valued argument");
    }
    acceptor->set(text);
}

// The first matching argument that may still be given; when all matches are used up, the last
// one, so that the check after parsing reports it as given too often.
Argument* ArgumentParser::lookup(const std::function<bool(const Argument&)>& matches) {
    Argument* found = nullptr;
    for (ArgumentSet& set : m_argSets) {
        for (Argument* arg : set.args()) {
            if (!matches(*arg)) {
                continue;
            }
            if (arg->can_set()) {
                return arg;
            }
            found = arg;
        }
    }
    return found;
}

std::string ArgumentParser::help() {
    std::size_t width = 0;
    for (const auto& [set, arg] : declared()) {
        width = std::max(width, arg->ident().size());
    }
    width += 2;
    std::string text = "Usage: ";
    if (!m_programName.empty()) {
        text += m_programName + " ";
    }
    text += m_argSets.front().usage();
    for (std::size_t i = 1; i < m_argSets.size(); ++i) {
        if (m_argSets[i].size() > 0) {
            text += " " + m_argSets[i].usage();
        }
    }
    text += "\n";
    for (ArgumentSet& set : m_argSets) {
        if (set.size() == 0) {
            continue;
        }
        text += "\n" + set.name() + ":\n";
        for (const Argument* arg : set.args()) {
            const std::string ident = arg->ident();
            text +=
                "  " + ident + std::string(width - ident.size(), ' ') + arg->description() + "\n";
        }
    }
    return text;
}

std::vector<std::pair<std::string, const Argument*>> ArgumentParser::declared() {
    std::vector<std::pair<std::string, const Argument*>> found;
    for (ArgumentSet& set : m_argSets) {
        for (const Argument* arg : set.args()) {
            found.emplace_back(set.name(), arg);
        }
    }
    return found;
}

} // namespace OPTA
