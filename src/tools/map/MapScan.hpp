// A line- and column-aware pass over map text that finds where the text first departs from the
// format the map reader accepts, and says it the way a person fixing the file needs it: where,
// what was found there and what was expected. It judges the text only; the reader still decides
// whether a map is valid.
#pragma once

#include <optional>
#include <string>
#include <string_view>

// One place in the text and what is wrong there. Lines and columns count from 1, columns in
// bytes; column 0 stands for the end of the file, reported on the last line with text.
struct TextProblem {
    unsigned line = 0;
    unsigned column = 0;
    std::string what;
};

// The first problem of the text, none when the reader would read it through (problems the
// reader finds in a well-formed text, such as a transition between wrong squares, are not
// looked for). When the squares stand one row per line, a row of the wrong length is named
// rather than the place where the reader runs out of step.
std::optional<TextProblem> scanMapText(std::string_view text);

// "FILE:LINE:COLUMN: WHAT", or "FILE:LINE: WHAT" for the end of the file.
std::string describeProblem(const std::string& file, const TextProblem& problem);
