// Everything the parser throws. Each what() text is written to be shown to the user as it is.
#pragma once

#include <exception>
#include <memory>
#include <string>

namespace OPTA {

class Argument;

// Root of the parser's exceptions; help and version texts travel as one of these too.
class exception : public std::exception {
public:
    explicit exception(std::string what) : m_what(std::move(what)) {}
    const char* what() const noexcept override { return m_what.c_str(); }

private:
    std::string m_what;
};

// The command line names something that no declared argument answers to.
class command_error : public exception {
public:
    using exception::exception;
};

class unknown_argument : public command_error {
public:
    explicit unknown_argument(const std::string& name);
    explicit unknown_argument(char letter);
    unknown_argument();
};

// A declared argument was given wrongly; keeps a copy of that argument for the caller.
class argument_error : public exception {
public:
    explicit argument_error(const Argument& arg);
    argument_error(const Argument& arg, const std::string& text);
    const Argument& arg() const { return *m_arg; }

private:
    std::shared_ptr<const Argument> m_arg;
};

class argument_no_value : public argument_error {
public:
    explicit argument_no_value(const Argument& arg);
};

class argument_missing_value : public argument_error {
public:
    explicit argument_missing_value(const Argument& arg);
};

class argument_invalid_value : public argument_error {
public:
    argument_invalid_value(const Argument& arg, const std::string& value);
};

// The argument occurred more often than its upper bound or less often than its lower bound.
class argument_count_mismatch : public argument_error {
public:
    argument_count_mismatch(const Argument& arg, unsigned count, unsigned bound);
};

// Members that a group requires were not given; the text lists their usages.
class constraint_error : public exception {
public:
    explicit constraint_error(const std::string& missing);
};

} // namespace OPTA
