// The parser that reads a command line into the declared argument sets and writes the usage
// and help text from them.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "opta/ArgumentConstraint.hpp"

namespace OPTA {

inline constexpr const char* flagStart = "-";
inline constexpr const char* nameStart = "--";
inline constexpr char nameDelim = '=';
inline constexpr const char* skip = "--";

// Reads "--name", "--name=value", "--name value", letter clusters such as "-ab", "-lvalue"
// and "-l value", and positional words; "--" makes every later word positional. Values land
// in the arguments' variables; every problem is thrown as an OPTA exception.
class ArgumentParser {
public:
    // Starts with one empty set named "Arguments".
    ArgumentParser();

    ArgumentParser& add(const ArgumentSet& set);
    // Adds a group that is validated after parsing but not listed in the help text.
    ArgumentParser& add_constraint(const BaseArgument& constraint);
    // The first set, "Arguments"; the reference is valid until the next add().
    ArgumentSet& arguments() { return m_argSets.front(); }
    void program_name(const std::string& name) { m_programName = name; }

    void parse(int argc, const char* const* argv);
    // The usage line followed by one section per non-empty set.
    std::string help();
    // Every declared argument with the name of the set it is listed under, in the order of
    // the help text; the pointers are valid until the next add().
    std::vector<std::pair<std::string, const Argument*>> declared();

private:
    using NextToken = std::function<std::optional<std::string>()>;

    void parseName(const std::string& token, const NextToken& next);
    void parseFlags(const std::string& token, const NextToken& next);
    void parsePositional(const std::string& token);
    void takeNextValue(Argument& arg, const NextToken& next);
    void set_arg_value(Argument& arg, const std::string& text);
    Argument* lookup(const std::function<bool(const Argument&)>& matches);

    std::vector<ArgumentSet> m_argSets;
    ArgumentSet m_constraints;
    std::string m_programName;
};

} // namespace OPTA
