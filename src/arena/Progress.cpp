#include "arena/Progress.hpp"

#include <cstdio>
#include <sstream>

#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// A terminal is redrawn every second; a log file gets a line every ten.
constexpr std::chrono::seconds TerminalInterval{1};
constexpr std::chrono::seconds PlainInterval{10};

std::string clock(double seconds) {
    const long total = static_cast<long>(seconds + 0.5);
    char text[32];
    std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", total / 3600, total / 60 % 60, total % 60);
    return text;
}

} // namespace

Progress::Progress(unsigned total)
    : m_total(total), m_terminal(isatty(STDERR_FILENO) == 1), m_start(Clock::now()),
      m_last(m_start) {}

std::string Progress::line(unsigned done, unsigned running) const {
    const double elapsed = std::chrono::duration<double>(Clock::now() - m_start).count();
    std::ostringstream text;
    text << "Games " << done << "/" << m_total << ", " << running << " running, elapsed "
         << clock(elapsed) << ", left ";
    if (done > 0) {
        text << clock(elapsed / done * (m_total - done));
    } else {
        text << "?";
    }
    return text.str();
}

void Progress::update(unsigned done, unsigned running, bool force) {
    const auto now = Clock::now();
    if (!force && now - m_last < (m_terminal ? TerminalInterval : PlainInterval) && m_shown) {
        return;
    }
    m_last = now;
    m_shown = true;
    const std::string text = line(done, running);
    if (m_terminal) {
        std::fprintf(stderr, "\r\033[K%s", text.c_str());
    } else {
        std::fprintf(stderr, "%s\n", text.c_str());
    }
    std::fflush(stderr);
}

void Progress::clear() {
    if (m_terminal && m_shown) {
        std::fputs("\r\033[K", stderr);
        std::fflush(stderr);
        m_shown = false;
    }
}

void Progress::finish(unsigned done) {
    update(done, 0, true);
    if (m_terminal) {
        std::fputs("\n", stderr);
        std::fflush(stderr);
        m_shown = false;
    }
}
