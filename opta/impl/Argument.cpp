#include "opta/Argument.hpp"

#include <algorithm>
#include <cctype>
#include <stdexcept>

#include "opta/Exceptions.hpp"

namespace OPTA {

namespace {

bool isMarker(char c) {
    return c == '&' || c == '%' || c == '$' || c == '\\';
}

bool isNameChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0;
}

} // namespace

Argument::Argument(const std::string& description)
    : m_isPositional(true), m_description(description) {
    parseMarkup();
}

Argument::Argument(const std::string& description, const std::string& name)
    : m_isPositional(false), m_description(description) {
    parseMarkup();
    alias(name);
}

Argument::Argument(const std::string& description, char letter, const std::string& name)
    : m_isPositional(false), m_description(description) {
    parseMarkup();
    alias(letter, name);
}

// Strips the markers from the description and turns the marked letters and words into
// aliases. A long name ends at the first character that is neither a letter nor a digit.
void Argument::parseMarkup() {
    const std::string text = m_description;
    std::string plain;
    std::string word;
    bool inName = false;
    auto endName = [&] {
        if (inName && !word.empty()) {
            alias(word);
        }
        word.clear();
        inName = false;
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        bool hasNext = i + 1 < text.size();
        if (c == '\\' && hasNext && isMarker(text[i + 1])) {
            c = text[++i];
        } else if (c == '&' || c == '%' || c == '$') {
            endName();
            if (c != '$' && hasNext) {
                alias(text[i + 1]);
            }
            inName = c != '%';
            continue;
        }
        if (inName && isNameChar(c)) {
            word += c;
        } else {
            endName();
        }
        plain += c;
    }
    endName();
    m_description = plain;
}

void Argument::find_all_arguments(std::vector<Argument*>& found) {
    found.push_back(this);
}

unsigned Argument::count() const {
    return *m_count;
}

void Argument::check_valid() const {
    unsigned n = count();
    if (n == 0) {
        if (required()) {
            throw argument_count_mismatch(*this, 0, 1);
        }
        return;
    }
    if (n < m_min) {
        throw argument_count_mismatch(*this, n, m_min);
    }
    if (m_max != 0 && n > m_max) {
        throw argument_count_mismatch(*this, n, m_max);
    }
}

std::string Argument::usage() const {
    if (m_isPositional) {
        throw std::logic_error("Base usage() called on positional argument");
    }
    return optionUsage();
}

std::string Argument::optionUsage() const {
    if (!m_flags.empty()) {
        return std::string("-") + m_flags.front();
    }
    return m_names.empty() ? std::string() : "--" + m_names.front();
}

std::unique_ptr<BaseArgument> Argument::clone() const& {
    return std::make_unique<Argument>(*this);
}

std::unique_ptr<BaseArgument> Argument::clone() && {
    return std::make_unique<Argument>(std::move(*this));
}

Argument& Argument::check(CheckFunc func) {
    m_checkFunc = std::move(func);
    return *this;
}

void Argument::set() {
    countOccurrence();
    check();
}

bool Argument::takes_value() const {
    return false;
}

std::string Argument::ident() const {
    std::string text;
    if (!m_flags.empty()) {
        text = std::string("-") + m_flags.front();
    }
    if (!m_flags.empty() && !m_names.empty()) {
        text += ", ";
    }
    if (!m_names.empty()) {
        text += "--" + m_names.front();
    }
    return text;
}

void Argument::check() {
    if (m_checkFunc) {
        m_checkFunc(*this);
    }
}

Argument& Argument::alias(char letter) {
    m_flags += letter;
    m_isPositional = false;
    return *this;
}

Argument& Argument::alias(const std::string& name) {
    if (!name.empty()) {
        m_names.push_back(name);
        m_isPositional = false;
    }
    return *this;
}

Argument& Argument::alias(char letter, const std::string& name) {
    alias(letter);
    return alias(name);
}

bool Argument::matches(char letter) const {
    return m_flags.find(letter) != std::string::npos;
}

bool Argument::matches(const std::string& name) const {
    return std::find(m_names.begin(), m_names.end(), name) != m_names.end();
}

bool Argument::can_set() const {
    return m_max == 0 || count() < m_max;
}

Argument& Argument::min(unsigned count) {
    m_min = count;
    return *this;
}

Argument& Argument::max(unsigned count) {
    m_max = count;
    return *this;
}

} // namespace OPTA
