#include "opta/TypedArgument.hpp"

#include <charconv>

namespace OPTA {

bool readUnsigned(const std::string& text, unsigned long long max, unsigned long long& value) {
    const char* end = text.data() + text.size();
    unsigned long long number = 0;
    auto [ptr, ec] = std::from_chars(text.data(), end, number);
    if (text.empty() || ec != std::errc() || ptr != end || number > max) {
        return false;
    }
    value = number;
    return true;
}

SwitchArgument::SwitchArgument(const std::string& description)
    : SwitchArgument(std::make_shared<bool>(false), description) {}

SwitchArgument::SwitchArgument(const std::string& description, const std::string& name)
    : SwitchArgument(std::make_shared<bool>(false), description, name) {}

SwitchArgument::SwitchArgument(const std::string& description, char letter, const std::string& name)
    : SwitchArgument(std::make_shared<bool>(false), description, letter, name) {}

void SwitchArgument::set() {
    Argument::set();
    storage() = !storage();
}

std::unique_ptr<BaseArgument> SwitchArgument::clone() const& {
    return std::make_unique<SwitchArgument>(*this);
}

std::unique_ptr<BaseArgument> SwitchArgument::clone() && {
    return std::make_unique<SwitchArgument>(std::move(*this));
}

} // namespace OPTA
