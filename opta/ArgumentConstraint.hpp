// Groups of arguments: the "Any" group, whose members are optional unless marked required,
// and the named argument set that the help text lists under its name.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "opta/BaseArgument.hpp"

namespace OPTA {

enum class ConstraintType { Imp = 0, One = 1, Any = 2 };

template <ConstraintType Type>
struct ConstraintTraits;

template <>
struct ConstraintTraits<ConstraintType::Any> {
    static constexpr const char* joinStr = " ";
};

template <ConstraintType Type>
class ArgumentConstraint;

// Holds copies of its members, so the caller's objects may go out of scope after add(); the
// copies still count into and store into the caller's counters and variables.
template <>
class ArgumentConstraint<ConstraintType::Any> : public BaseArgument {
public:
    ArgumentConstraint() = default;
    ArgumentConstraint(const ArgumentConstraint& other);
    ArgumentConstraint(ArgumentConstraint&&) noexcept = default;
    ArgumentConstraint& operator=(const ArgumentConstraint& other);
    ArgumentConstraint& operator=(ArgumentConstraint&&) noexcept = default;

    ArgumentConstraint& add(const BaseArgument& arg);
    std::size_t size() const { return m_args.size(); }

    void find_all_arguments(std::vector<Argument*>& found) override;
    // 1 when any member was given, else 0.
    unsigned count() const override;
    void check_valid() const override;
    std::string usage() const override { return m_usageString; }
    std::unique_ptr<BaseArgument> clone() const& override;
    std::unique_ptr<BaseArgument> clone() && override;

private:
    std::vector<std::unique_ptr<BaseArgument>> m_args;
    std::string m_usageString;
};

// A named group of options, shown as one section of the help text.
class ArgumentSet : public ArgumentConstraint<ConstraintType::Any> {
public:
    explicit ArgumentSet(std::string name) : m_name(std::move(name)) {}
    ArgumentSet(const ArgumentSet& other);
    ArgumentSet(ArgumentSet&&) noexcept = default;
    ArgumentSet& operator=(const ArgumentSet& other);
    ArgumentSet& operator=(ArgumentSet&&) noexcept = default;

    ArgumentSet& add(const BaseArgument& arg);
    // Every plain argument of the set, members of nested groups included, in order.
    const std::vector<Argument*>& args();
    const std::string& name() const { return m_name; }

    std::unique_ptr<BaseArgument> clone() const& override;
    std::unique_ptr<BaseArgument> clone() && override;

private:
    std::string m_name;
    std::vector<Argument*> m_args;
    bool m_updateArgs = true;
};

} // namespace OPTA
