// The escape bytes of the ANSI colours and the global switch.
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "common/colors.hpp"

// Colours start switched off and then write nothing; switched on, each writes its codes in order.
TEST(Colors, WriteTheirCodesOnlyWhenSwitchedOn) {
    auto sample = [] {
        std::ostringstream os;
        os << ansi::color(CT_BOLD, CFG_BLACK) << '|' << ansi::color(CFG_RED) << '|'
           << ansi::color(CT_INVERT, CBG_WHITE) << '|' << ansi::color() << '|' << C_RESET;
        return os.str();
    };
    EXPECT_FALSE(ansi::enableColor);
    EXPECT_EQ(sample(), "||||");
    ansi::enableColor = true;
    const std::string on = sample();
    ansi::enableColor = false;
    EXPECT_EQ(on, "\x1b[;1;30m|\x1b[;31m|\x1b[;7;47m|\x1b[m|\x1b[m");
}
