// The map text scanner: the header, the squares and the transitions are walked with the
// reader's own rules (white space anywhere, numbers of digits only, a square being -, 0, b, c,
// i, x or a number 1 ... 8), keeping the line and column of every item.
#include "tools/map/MapScan.hpp"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "common/Map.hpp"

namespace {

constexpr const char* SQUARE_EXPECTED = "a square: 0-8, -, c, i, b or x";
constexpr const char* DIRECTION_EXPECTED = "a direction: 0-7";
constexpr const char* SEPARATOR_EXPECTED = "\"<->\"";
// A word longer than this is cut in messages.
constexpr std::size_t SHOWN_LENGTH = 20;

// The white space of the reader's stream in the classic locale.
bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// A position in the text that knows its line and column.
struct Cursor {
    std::string_view text;
    std::size_t pos = 0;
    unsigned line = 1;
    unsigned column = 1;

    bool atEnd() const { return pos >= text.size(); }
    // The character at the cursor, a line end at the end of the text.
    char peek() const { return atEnd() ? '\n' : text[pos]; }
    void advance() {
        if (text[pos] == '\n') {
            ++line;
            column = 1;
        } else {
            ++column;
        }
        ++pos;
    }
    void skipSpace() {
        while (!atEnd() && isSpace(peek())) {
            advance();
        }
    }
    void skipWord() {
        while (!atEnd() && !isSpace(peek())) {
            advance();
        }
    }
    // The white-space delimited word that starts here.
    std::string_view word() const {
        Cursor end = *this;
        end.skipWord();
        return text.substr(pos, end.pos - pos);
    }
};

// Reads the digits at the cursor; a value beyond 64 bits stays at the largest one. False when
// there is no digit.
bool readNumber(Cursor& c, std::uint64_t& value) {
    if (c.atEnd() || !isDigit(c.peek())) {
        return false;
    }
    value = 0;
    while (!c.atEnd() && isDigit(c.peek())) {
        const auto digit = static_cast<std::uint64_t>(c.peek() - '0');
        value = value > (UINT64_MAX - digit) / 10 ? UINT64_MAX : value * 10 + digit;
        c.advance();
    }
    return true;
}

// Reads one square as the reader does; the cursor may have moved when it fails.
bool readSquare(Cursor& c) {
    const std::string_view single = "-0bcix";
    if (!c.atEnd() && single.find(c.peek()) != std::string_view::npos) {
        c.advance();
        return true;
    }
    std::uint64_t number = 0;
    return readNumber(c, number) && number >= 1 && number <= 8;
}

// A number at the cursor within [low, high]; the cursor moves past the digits.
bool readNumberIn(Cursor& c, std::uint64_t low, std::uint64_t high, std::uint64_t& value) {
    return readNumber(c, value) && value >= low && value <= high;
}

// One item of a transition: the separator word, or a number up to `high`.
bool readItem(Cursor& c, bool separator, std::uint64_t high) {
    if (separator) {
        const bool ok = c.word() == "<->";
        c.skipWord();
        return ok;
    }
    std::uint64_t value = 0;
    return readNumberIn(c, 0, high, value);
}

// The word as a message shows it: quoted, cut after SHOWN_LENGTH characters, bytes outside
// printable ASCII as \xNN.
std::string shown(std::string_view word) {
    static const char* const HEX = "0123456789abcdef";
    std::string text = "\"";
    for (const char c : word.substr(0, SHOWN_LENGTH)) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 32 && byte < 127) {
            text += c;
        } else {
            text += std::string("\\x") + HEX[byte >> 4] + HEX[byte & 15];
        }
    }
    return text + (word.size() > SHOWN_LENGTH ? "...\"" : "\"");
}

// What one header number is and the range the reader accepts.
struct HeaderNumber {
    const char* expected;
    std::uint64_t low;
    std::uint64_t high;
};

const HeaderNumber HEADER[] = {
    {"the number of players: 2-8", 2, 8},
    {"the number of override stones: 0-255", 0, Map::MAX_OVERRIDE},
    {"the number of bombs: 0-255", 0, Map::MAX_BOMBS},
    {"the bomb strength: 0-255", 0, Map::MAX_BOMB_RADIUS},
    {"the height: 1-50", 1, Map::MAX_HEIGHT},
    {"the width: 1-50", 1, Map::MAX_WIDTH},
};

// The squares one line of the grid holds, with the places a message about its length points
// at. A word that is no square counts as one.
struct RowLine {
    unsigned line = 0;
    std::uint64_t count = 0;
    unsigned firstColumn = 0;
    unsigned extraColumn = 0;
    unsigned endColumn = 0;
    bool allSquares = true;
    bool hasSeparator = false;
};

// Walks the text once in the reader's order and stops at the first problem.
class MapScanner {
public:
    explicit MapScanner(std::string_view text) : m_cursor{text} {}

    std::optional<TextProblem> scan() {
        if (auto problem = scanHeader()) {
            return problem;
        }
        m_afterHeader = m_cursor;
        auto problem = scanGrid();
        if (!problem) {
            problem = scanTransitions();
        }
        if (!problem) {
            return std::nullopt;
        }
        auto row = rowProblem(problem->line);
        return row ? row : problem;
    }

private:
    TextProblem found(const Cursor& at, const std::string& expected) const {
        return {at.line, at.column, "found " + shown(at.word()) + ", expected " + expected};
    }

    // The end of the text is reported on the last line that holds anything but white space.
    TextProblem endOfText(const std::string& what) const {
        const std::string_view text = m_cursor.text;
        const auto last =
            std::find_if(text.rbegin(), text.rend(), [](char c) { return !isSpace(c); });
        const auto line = 1 + std::count(text.begin(), last.base(), '\n');
        return {static_cast<unsigned>(line), 0, "the file ends early: " + what};
    }

    std::optional<TextProblem> scanHeader() {
        unsigned read = 0;
        std::uint64_t values[6] = {};
        for (const HeaderNumber& number : HEADER) {
            m_cursor.skipSpace();
            if (m_cursor.atEnd()) {
                return endOfText("6 header numbers expected, " + std::to_string(read) + " found");
            }
            const Cursor start = m_cursor;
            if (!readNumberIn(m_cursor, number.low, number.high, values[read])) {
                return found(start, number.expected);
            }
            ++read;
        }
        m_height = values[4];
        m_width = values[5];
        return std::nullopt;
    }

    std::optional<TextProblem> scanGrid() {
        for (std::uint64_t i = 0; i < m_height * m_width; ++i) {
            m_cursor.skipSpace();
            if (m_cursor.atEnd()) {
                return endOfText(std::to_string(m_height) + " rows of squares expected, " +
                                 std::to_string(i / m_width) + " found");
            }
            const Cursor start = m_cursor;
            if (!readSquare(m_cursor)) {
                return found(start, SQUARE_EXPECTED);
            }
        }
        return std::nullopt;
    }

    // The list ends at the end of the text or at a SUB character where a transition could
    // start, as in the reader.
    std::optional<TextProblem> scanTransitions() {
        for (;;) {
            m_cursor.skipSpace();
            if (m_cursor.atEnd() || m_cursor.peek() == '\x1a') {
                return std::nullopt;
            }
            if (auto problem = scanTransition()) {
                return problem;
            }
        }
    }

    // The seven items of a transition, each reported as what was expected in its place.
    std::optional<TextProblem> scanTransition() {
        const unsigned line = m_cursor.line;
        const std::pair<const char*, std::uint64_t> items[] = {
            {"a transition: X Y DIRECTION <-> X Y DIRECTION", UINT32_MAX},
            {"a y coordinate", UINT32_MAX},
            {DIRECTION_EXPECTED, 7},
            {SEPARATOR_EXPECTED, 0},
            {"an x coordinate", UINT32_MAX},
            {"a y coordinate", UINT32_MAX},
            {DIRECTION_EXPECTED, 7},
        };
        for (const auto& [expected, high] : items) {
            m_cursor.skipSpace();
            if (m_cursor.atEnd()) {
                return endOfText("the transition on line " + std::to_string(line) +
                                 " is incomplete");
            }
            const Cursor start = m_cursor;
            if (!readItem(m_cursor, expected == SEPARATOR_EXPECTED, high)) {
                return found(start, expected);
            }
        }
        return std::nullopt;
    }

    // Counts the squares on the line at the cursor, leaving the cursor at its end.
    RowLine countRow(Cursor& c) const {
        RowLine row;
        row.line = c.line;
        row.firstColumn = c.column;
        while (!c.atEnd() && c.peek() != '\n') {
            if (isSpace(c.peek())) {
                c.advance();
                continue;
            }
            const unsigned column = c.column;
            Cursor square = c;
            row.hasSeparator = row.hasSeparator || c.word() == "<->";
            if (readSquare(square)) {
                c = square;
            } else {
                c.skipWord();
                row.allSquares = false;
            }
            row.extraColumn = ++row.count == m_width + 1 ? column : row.extraColumn;
            row.endColumn = c.column;
        }
        return row;
    }

    // The lines of squares after the header up to the problem's line, one more than the map
    // is high at most; none when the squares start on the header's last line.
    std::vector<RowLine> rowLines(unsigned problemLine) const {
        Cursor c = m_afterHeader;
        while (!c.atEnd() && c.peek() != '\n' && isSpace(c.peek())) {
            c.advance();
        }
        std::vector<RowLine> rows;
        if (!c.atEnd() && c.peek() != '\n') {
            return rows;
        }
        for (c.skipSpace(); !c.atEnd() && c.line <= problemLine && rows.size() <= m_height;
             c.skipSpace()) {
            rows.push_back(countRow(c));
        }
        return rows;
    }

    TextProblem rowsFound(const RowLine& at, std::uint64_t rows) const {
        return {at.line, at.firstColumn,
                "found " + std::to_string(rows) + " rows of squares, the map is " +
                    std::to_string(m_height) + " high"};
    }

    // With most rows on lines of their own as wide as the map, the first line of a wrong
    // length up to the problem found explains it: a row too long or too short, or a row
    // missing when the line holds a transition. With all rows right, a line of squares after
    // them is a row too many. A grid spread over lines in any other way is left to the
    // problem found.
    std::optional<TextProblem> rowProblem(unsigned problemLine) const {
        const std::vector<RowLine> rows = rowLines(problemLine);
        const std::size_t lines = std::min<std::size_t>(rows.size(), m_height);
        std::uint64_t total = 0;
        std::size_t wide = 0;
        for (std::size_t r = 0; r < lines; ++r) {
            total += rows[r].count;
            wide += rows[r].count == m_width ? 1 : 0;
        }
        if (2 * wide + 1 < lines) {
            return std::nullopt;
        }
        if (lines == m_height && total == m_height * m_width) {
            const bool extra = rows.size() > m_height && rows[m_height].allSquares &&
                               rows[m_height].count == m_width;
            return extra ? std::optional(rowsFound(rows[m_height], m_height + 1)) : std::nullopt;
        }
        const auto end = rows.begin() + static_cast<std::ptrdiff_t>(lines);
        const auto wrong = std::find_if(rows.begin(), end,
                                        [this](const RowLine& r) { return r.count != m_width; });
        if (wrong == end) {
            return std::nullopt;
        }
        const auto number = static_cast<std::uint64_t>(wrong - rows.begin()) + 1;
        if (wrong->hasSeparator) {
            return rowsFound(*wrong, number - 1);
        }
        return TextProblem{
            wrong->line, wrong->count > m_width ? wrong->extraColumn : wrong->endColumn,
            "row " + std::to_string(number) + " has " + std::to_string(wrong->count) +
                " squares, the map is " + std::to_string(m_width) + " wide"};
    }

    Cursor m_cursor;
    Cursor m_afterHeader;
    std::uint64_t m_height = 0;
    std::uint64_t m_width = 0;
};

} // namespace

std::optional<TextProblem> scanMapText(std::string_view text) {
    return MapScanner(text).scan();
}

std::string describeProblem(const std::string& file, const TextProblem& problem) {
    std::string text = file + ":" + std::to_string(problem.line) + ":";
    if (problem.column != 0) {
        text += std::to_string(problem.column) + ":";
    }
    return text + " " + problem.what;
}
