// The progress of a tournament on standard error: one line redrawn in place on a terminal,
// plain lines every little while otherwise.
#pragma once

#include <chrono>
#include <string>

class Progress {
public:
    explicit Progress(unsigned total);

    // Shows the state if it is time to (at once with `force`).
    void update(unsigned done, unsigned running, bool force = false);
    // Removes the line before other output goes to the terminal; update() draws it again.
    void clear();
    // The last state, on a line of its own.
    void finish(unsigned done);

private:
    std::string line(unsigned done, unsigned running) const;

    unsigned m_total;
    bool m_terminal;
    bool m_shown = false;
    std::chrono::steady_clock::time_point m_start;
    std::chrono::steady_clock::time_point m_last;
};
