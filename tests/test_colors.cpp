// The escape bytes of the ANSI colours and the global switch.
#include <sstream>

#include <gtest/gtest.h>

#include "common/colors.hpp"

namespace {

// Sets the colour switch for one test and restores it afterwards.
class ColorSwitch {
public:
    explicit ColorSwitch(bool on) : m_old(ansi::enableColor) { ansi::enableColor = on; }
    ~ColorSwitch() { ansi::enableColor = m_old; }

private:
    bool m_old;
};

} // namespace

TEST(Colors, StartSwitchedOffAndWriteNothing) {
    EXPECT_FALSE(ansi::enableColor);
    std::ostringstream os;
    os << ansi::color(CBG_BLUE, CFG_MAGENTA) << "text" << C_RESET;
    EXPECT_EQ(os.str(), "text");
}

TEST(Colors, WriteTheirCodesInOrder) {
    ColorSwitch on(true);
    std::ostringstream os;
    os << ansi::color(CT_BOLD, CFG_BLACK) << '|' << ansi::color(CFG_RED) << '|'
       << ansi::color(CT_INVERT, CFG_BLUE) << '|' << ansi::color() << '|' << C_RESET;
    EXPECT_EQ(os.str(), "\x1b[;1;30m|\x1b[;31m|\x1b[;7;34m|\x1b[m|\x1b[m");
}

TEST(Colors, CodeTable) {
    EXPECT_STREQ(CT_REVERSE, ";3");
    EXPECT_STREQ(CT_INVERT, ";7");
    EXPECT_STREQ(CFG_WHITE, ";37");
    EXPECT_STREQ(CBG_BLACK, ";40");
    EXPECT_STREQ(CBG_WHITE, ";47");
}
