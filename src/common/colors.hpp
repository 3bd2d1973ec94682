// ANSI colours for the console: a colour is built on the spot from SGR codes and written
// with <<; everything is silent while ansi::enableColor is false.
#pragma once

#include <ostream>
#include <vector>

namespace ansi {

extern bool enableColor;

// A fixed escape sequence, such as the reset.
struct cmd {
    const char* str;
    explicit constexpr cmd(const char* s) : str(s) {}
};

// Several SGR codes combined into one escape sequence.
class color {
public:
    template <typename... Codes>
    explicit color(Codes... codes) : m_colors{codes...} {}

private:
    friend std::ostream& operator<<(std::ostream& os, const color& colors);
    std::vector<const char*> m_colors;
};

std::ostream& operator<<(std::ostream& os, const color& colors);
std::ostream& operator<<(std::ostream& os, const cmd& c);

} // namespace ansi

extern const char* const CT_NORMAL;
extern const char* const CT_BOLD;
extern const char* const CT_REVERSE;
extern const char* const CT_ULINE;
extern const char* const CT_BLINK;
extern const char* const CT_INVERT;
extern const char* const CFG_BLACK;
extern const char* const CFG_RED;
extern const char* const CFG_GREEN;
extern const char* const CFG_YELLOW;
extern const char* const CFG_BLUE;
extern const char* const CFG_MAGENTA;
extern const char* const CFG_CYAN;
extern const char* const CFG_WHITE;
extern const char* const CBG_BLACK;
extern const char* const CBG_RED;
extern const char* const CBG_GREEN;
extern const char* const CBG_YELLOW;
extern const char* const CBG_BLUE;
extern const char* const CBG_MAGENTA;
extern const char* const CBG_CYAN;
extern const char* const CBG_WHITE;

extern const ansi::cmd C_RESET;
