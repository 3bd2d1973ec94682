// One command-line option: its letters and long names, help text, occurrence bounds and an
// optional callback that runs each time the option is met.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "opta/BaseArgument.hpp"

namespace OPTA {

// An option without value, and the base of all typed options. The description may carry
// markup that names the option: "&log" gives the letter l and the long name log, "%v" only
// the letter v, "$verbose" only the long name verbose; "\&" and "\\" stand for the plain
// characters. The markers are removed from the help text, the words stay.
class Argument : public BaseArgument {
public:
    using CheckFunc = std::function<void(const Argument&)>;

    // Positional unless the markup gives it a letter or a name.
    explicit Argument(const std::string& description);
    Argument(const std::string& description, const std::string& name);
    Argument(const std::string& description, char letter, const std::string& name);

    void find_all_arguments(std::vector<Argument*>& found) override;
    unsigned count() const override;
    void check_valid() const override;
    std::string usage() const override;
    std::unique_ptr<BaseArgument> clone() const& override;
    std::unique_ptr<BaseArgument> clone() && override;

    virtual Argument& check(CheckFunc func);
    // One more occurrence without a value.
    virtual void set();
    virtual bool takes_value() const;
    // The names as listed in the help text, e.g. "-l, --log".
    virtual std::string ident() const;
    // The placeholder for the value, e.g. "filename"; empty for options without value.
    virtual std::string value_name() const { return {}; }
    // Runs the callback; called on every occurrence.
    virtual void check();

    Argument& alias(char letter);
    Argument& alias(const std::string& name);
    Argument& alias(char letter, const std::string& name);
    bool matches() const { return m_isPositional; }
    bool matches(char letter) const;
    bool matches(const std::string& name) const;
    bool can_set() const;
    const std::string& description() const { return m_description; }
    // Every letter and every long name the option answers to, the first ones first.
    const std::string& letters() const { return m_flags; }
    const std::vector<std::string>& names() const { return m_names; }
    Argument& min(unsigned count);
    Argument& max(unsigned count);
    unsigned max() const { return m_max; }

protected:
    void countOccurrence() { ++*m_count; }
    // "-" and the first letter, or "--" and the first long name.
    std::string optionUsage() const;

private:
    void parseMarkup();

    std::string m_flags;
    std::vector<std::string> m_names;
    bool m_isPositional;
    std::string m_description;
    unsigned m_min = 1;
    unsigned m_max = 1;
    std::shared_ptr<unsigned> m_count = std::make_shared<unsigned>(0);
    CheckFunc m_checkFunc;
};

} // namespace OPTA
