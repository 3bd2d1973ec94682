#include "common/colors.hpp"

namespace ansi {

bool enableColor = false;

std::ostream& operator<<(std::ostream& os, const color& colors) {
    if (enableColor) {
        os << "\x1b[";
        for (const char* code : colors.m_colors) {
            os << code;
        }
        os << 'm';
    }
    return os;
}

std::ostream& operator<<(std::ostream& os, const cmd& c) {
    if (enableColor) {
        os << c.str;
    }
    return os;
}

} // namespace ansi

const char* const CT_NORMAL = ";0";
const char* const CT_BOLD = ";1";
const char* const CT_REVERSE = ";3";
const char* const CT_ULINE = ";4";
const char* const CT_BLINK = ";5";
const char* const CT_INVERT = ";7";
const char* const CFG_BLACK = ";30";
const char* const CFG_RED = ";31";
const char* const CFG_GREEN = ";32";
const char* const CFG_YELLOW = ";33";
const char* const CFG_BLUE = ";34";
const char* const CFG_MAGENTA = ";35";
const char* const CFG_CYAN = ";36";
const char* const CFG_WHITE = ";37";
const char* const CBG_BLACK = ";40";
const char* const CBG_RED = ";41";
const char* const CBG_GREEN = ";42";
const char* const CBG_YELLOW = ";43";
const char* const CBG_BLUE = ";44";
const char* const CBG_MAGENTA = ";45";
const char* const CBG_CYAN = ";46";
const char* const CBG_WHITE = ";47";

const ansi::cmd C_RESET("\x1b[m");
