#include "opta/ArgumentConstraint.hpp"

#include <algorithm>

#include "opta/Exceptions.hpp"

namespace OPTA {

using AnyConstraint = ArgumentConstraint<ConstraintType::Any>;

namespace {

// A member's usage, in brackets when it may be left out.
std::string usageArgument(const BaseArgument& arg) {
    return arg.required() ? arg.usage() : "[ " + arg.usage() + " ]";
}

} // namespace

AnyConstraint::ArgumentConstraint(const ArgumentConstraint& other)
    : BaseArgument(other), m_usageString(other.m_usageString) {
    for (const auto& arg : other.m_args) {
        m_args.push_back(arg->clone());
    }
}

AnyConstraint& AnyConstraint::operator=(const ArgumentConstraint& other) {
    if (this != &other) {
        *this = ArgumentConstraint(other);
    }
    return *this;
}

AnyConstraint& AnyConstraint::add(const BaseArgument& arg) {
    if (!m_args.empty()) {
        m_usageString += ConstraintTraits<ConstraintType::Any>::joinStr;
    }
    m_args.push_back(arg.clone());
    m_usageString += usageArgument(*m_args.back());
    return *this;
}

void AnyConstraint::find_all_arguments(std::vector<Argument*>& found) {
    for (const auto& arg : m_args) {
        arg->find_all_arguments(found);
    }
}

unsigned AnyConstraint::count() const {
    bool any =
        std::any_of(m_args.begin(), m_args.end(), [](const auto& arg) { return arg->is_set(); });
    return any ? 1 : 0;
}

// Validates what was given or is required, then reports the required members left out.
void AnyConstraint::check_valid() const {
    std::string missing;
    for (const auto& arg : m_args) {
        if (!arg->is_set() && !arg->required()) {
            continue;
        }
        arg->check_valid();
        if (!arg->is_set()) {
            missing += (missing.empty() ? "" : ConstraintTraits<ConstraintType::Any>::joinStr) +
                       arg->usage();
        }
    }
    if (!missing.empty()) {
        throw constraint_error(missing);
    }
}

std::unique_ptr<BaseArgument> AnyConstraint::clone() const& {
    return std::make_unique<ArgumentConstraint>(*this);
}

std::unique_ptr<BaseArgument> AnyConstraint::clone() && {
    return std::make_unique<ArgumentConstraint>(std::move(*this));
}

// A copy holds new member copies, so the cached pointers must be gathered again.
ArgumentSet::ArgumentSet(const ArgumentSet& other)
    : ArgumentConstraint(other), m_name(other.m_name) {}

ArgumentSet& ArgumentSet::operator=(const ArgumentSet& other) {
    if (this != &other) {
        *this = ArgumentSet(other);
    }
    return *this;
}

ArgumentSet& ArgumentSet::add(const BaseArgument& arg) {
    ArgumentConstraint::add(arg);
    m_updateArgs = true;
    return *this;
}

const std::vector<Argument*>& ArgumentSet::args() {
    if (m_updateArgs) {
        m_args.clear();
        find_all_arguments(m_args);
        m_updateArgs = false;
    }
    return m_args;
}

std::unique_ptr<BaseArgument> ArgumentSet::clone() const& {
    return std::make_unique<ArgumentSet>(*this);
}

std::unique_ptr<BaseArgument> ArgumentSet::clone() && {
    return std::make_unique<ArgumentSet>(std::move(*this));
}

} // namespace OPTA
