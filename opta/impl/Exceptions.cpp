#include "opta/Exceptions.hpp"

#include "opta/Argument.hpp"

namespace OPTA {

namespace {

// The copy kept by an exception; cloning an Argument always yields an Argument.
std::shared_ptr<const Argument> keep(const Argument& arg) {
    return std::shared_ptr<const Argument>(static_cast<Argument*>(arg.clone().release()));
}

std::string countText(unsigned count, unsigned bound) {
    if (count >= bound) {
        return bound < 2 ? "can only be set once"
                         : "can occur at most " + std::to_string(bound) + " times";
    }
    return bound < 2 ? "is required"
                     : "is required to occur at least " + std::to_string(bound) + " times";
}

} // namespace

unknown_argument::unknown_argument(const std::string& name)
    : command_error("The named argument " + name + " is unknown") {}

unknown_argument::unknown_argument(char letter)
    : command_error(std::string("The flag argument ") + letter + " is unknown") {}

unknown_argument::unknown_argument() : command_error("No positional arguments are supported") {}

argument_error::argument_error(const Argument& arg)
    : exception("Argument " + arg.usage()), m_arg(keep(arg)) {}

argument_error::argument_error(const Argument& arg, const std::string& text)
    : exception("Argument " + arg.usage() + " " + text), m_arg(keep(arg)) {}

argument_no_value::argument_no_value(const Argument& arg)
    : argument_error(arg, "does not accept a value") {}

argument_missing_value::argument_missing_value(const Argument& arg)
    : argument_error(arg, "requires a value") {}

argument_invalid_value::argument_invalid_value(const Argument& arg, const std::string& value)
    : argument_error(arg, "does not accept the value " + value) {}

argument_count_mismatch::argument_count_mismatch(const Argument& arg, unsigned count,
                                                 unsigned bound)
    : argument_error(arg, countText(count, bound)) {}

constraint_error::constraint_error(const std::string& missing)
    : exception("The following requirements are missing: " + missing) {}

} // namespace OPTA
