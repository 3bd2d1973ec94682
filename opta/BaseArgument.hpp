// The root of everything that can be a member of an argument set.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace OPTA {

class Argument;

// A single argument or a group of them. Copies made by clone() count into the same counters
// and store into the same variables as the object they were made from, so the application
// keeps reading its own objects while sets and parsers hold copies.
class BaseArgument {
public:
    virtual ~BaseArgument() = default;

    // Appends every plain argument this object stands for (itself, or a group's members).
    virtual void find_all_arguments(std::vector<Argument*>& found) = 0;
    virtual unsigned count() const = 0;
    // Throws when the number of occurrences breaks a bound.
    virtual void check_valid() const = 0;
    virtual std::string usage() const = 0;
    virtual std::unique_ptr<BaseArgument> clone() const& = 0;
    virtual std::unique_ptr<BaseArgument> clone() && = 0;

    bool is_set() const { return count() != 0; }
    bool required() const { return m_required; }
    void set_required(bool required) { m_required = required; }

protected:
    BaseArgument() = default;
    BaseArgument(const BaseArgument&) = default;
    BaseArgument(BaseArgument&&) = default;
    BaseArgument& operator=(const BaseArgument&) = default;
    BaseArgument& operator=(BaseArgument&&) = default;

private:
    bool m_required = false;
};

} // namespace OPTA
