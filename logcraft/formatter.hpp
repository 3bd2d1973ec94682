// Formatters turn a log entry into the text a sink writes. TemplateFormatter is assembled at
// compile time from a list of elements: characters, string literals, fields and time stamps.
#pragma once

#include <cstddef>
#include <ctime>
#include <sstream>
#include <string>
#include <tuple>
#include <utility>

#include "logcraft/level.hpp"

namespace logcraft {

// The base formatter writes "LEVEL - message\n".
class Formatter {
public:
    virtual ~Formatter() = default;
    virtual std::string format(const EntryContext& context, const std::string& message) const;
    std::string operator()(const EntryContext& context, const std::string& message) const {
        return format(context, message);
    }
    // Fixes the process start time.
    static void initialize();
};

// The parts of an entry a FieldStr can write.
enum class Field {
    FileName = 0,
    FilePath = 1,
    Line = 2,
    Function = 3,
    LoggerName = 4,
    Message = 5,
    LogLevel = 6,
    WallTime = 7,
};
enum Justification { LEFT = 0, RIGHT = 1 };

namespace detail {
void writeField(std::ostream& os, Field field, const EntryContext& context,
                const std::string& message);
} // namespace detail

// One field of the entry, padded to `width` with `fill`.
template <Field F, int width, Justification J, char fill>
struct FieldStr {
    void write(std::ostream& os, const EntryContext& context, const std::string& message) const {
        os.width(width);
        os.fill(fill);
        os.setf(J == LEFT ? std::ios::left : std::ios::right, std::ios::adjustfield);
        detail::writeField(os, F, context, message);
    }
};

// The entry's time stamp in local time, formatted with a strftime pattern.
class TimeStr {
public:
    explicit TimeStr(std::string pattern) : formatStr(std::move(pattern)) {}
    void write(std::ostream& os, const EntryContext& context, const std::string&) const;

private:
    std::string formatStr;
};

namespace detail {
inline void writeElement(std::ostream& os, char c, const EntryContext&, const std::string&) {
    os << c;
}
inline void writeElement(std::ostream& os, const char* text, const EntryContext&,
                         const std::string&) {
    os << text;
}
template <typename Element>
void writeElement(std::ostream& os, const Element& element, const EntryContext& context,
                  const std::string& message) {
    element.write(os, context, message);
}
} // namespace detail

// Writes its elements one after the other into a fresh string stream.
template <typename... Elements>
class TemplateFormatter : public Formatter {
public:
    explicit TemplateFormatter(Elements... elements) : formatters(std::move(elements)...) {}

    std::string format(const EntryContext& context, const std::string& message) const override {
        std::ostringstream os;
        std::apply(
            [&](const auto&... element) {
                (detail::writeElement(os, element, context, message), ...);
            },
            formatters);
        return os.str();
    }

private:
    std::tuple<Elements...> formatters;
};

// String literals are held as pointers to the literal, everything else by value.
template <typename... Elements>
FormatterPtr makeTemplateFormatter(Elements... elements) {
    return std::make_shared<TemplateFormatter<std::decay_t<Elements>...>>(elements...);
}

} // namespace logcraft
