#include "tools/map/MapCheck.hpp"

#include <algorithm>
#include <array>
#include <optional>
#include <sstream>

#include "common/FileIO.hpp"
#include "common/GameBoard.hpp"
#include "common/Logging.hpp"
#include "tools/map/MapScan.hpp"

namespace {

// Keeps the bare text of every message the map logger passes on.
class MessageSink : public logcraft::Sink {
public:
    explicit MessageSink(std::vector<std::string>& messages) : m_messages(messages) {}

protected:
    void logEntry(const std::string& text) const override { m_messages.push_back(text); }

private:
    std::vector<std::string>& m_messages;
};

// While it lives, the map logger's errors and warnings go into the list and nowhere else; the
// logger's level and additivity are restored afterwards.
class MapMessageCapture {
public:
    explicit MapMessageCapture(std::vector<std::string>& messages)
        : m_sink(std::make_shared<MessageSink>(messages)), m_level(loggerMap->getLevel()),
          m_additive(loggerMap->getAdditive()) {
        using namespace logcraft;
        m_sink->setFormatter(makeTemplateFormatter(FieldStr<Field::Message, 0, RIGHT, ' '>()));
        loggerMap->addSink(m_sink);
        loggerMap->setLevel(LogLevel::WARN);
        loggerMap->setAdditive(false);
    }
    ~MapMessageCapture() {
        loggerMap->removeSink(m_sink);
        loggerMap->setLevel(m_level);
        loggerMap->setAdditive(m_additive);
    }
    MapMessageCapture(const MapMessageCapture&) = delete;
    MapMessageCapture& operator=(const MapMessageCapture&) = delete;

private:
    std::shared_ptr<MessageSink> m_sink;
    logcraft::LogLevel m_level;
    bool m_additive;
};

// Reads the text of a map file again for the scanner; standard input cannot be read twice, and
// a file beyond MAX_SCANNED bytes is no hand-written map.
std::optional<std::string> diagnoseFile(const std::string& path) {
    constexpr std::size_t MAX_SCANNED = std::size_t{4} << 20;
    std::string text;
    std::string reason;
    if (path == "-" || !readWholeFile(path, text, reason, MAX_SCANNED)) {
        return std::nullopt;
    }
    const auto problem = scanMapText(text);
    return problem ? std::optional(describeProblem(path, *problem)) : std::nullopt;
}

// The squares within `radius` steps of `start` (transitions followed, holes not entered), by
// levels as GameBoard::blast walks them; `seen` holds `mark` for the squares counted.
std::size_t squaresWithin(const GameBoard& board, index_t start, unsigned radius,
                          std::vector<unsigned>& seen, unsigned mark) {
    std::vector<index_t> reached{start};
    seen[start] = mark;
    std::size_t levelBegin = 0;
    for (unsigned level = 0; level < radius && levelBegin < reached.size(); ++level) {
        const std::size_t levelEnd = reached.size();
        for (std::size_t k = levelBegin; k < levelEnd; ++k) {
            for (unsigned d = 0; d < 8; ++d) {
                const index_t next = board.get_transition(reached[k], Direction(d));
                if (next != INVALID_INDEX && board.get_square(next) != Square::NONE &&
                    seen[next] != mark) {
                    seen[next] = mark;
                    reached.push_back(next);
                }
            }
        }
        levelBegin = levelEnd;
    }
    return reached.size();
}

} // namespace

// A blast destroys the squares within the bomb strength of its target, counted in steps of the
// board with transitions (GameBoard::blast), so a transition carries it to squares outside the
// (2r + 1) x (2r + 1) block around the target. Bombs only add holes and the steps of the board
// never change, so a later blast reaches a subset of what it would reach on the start map.
std::size_t largestBlast(const Map& map) {
    const GameBoard board(map);
    std::vector<unsigned> seen(board.getBoardSize(), 0);
    std::size_t largest = 0;
    for (unsigned i = 0; i < board.getBoardSize(); ++i) {
        const auto index = static_cast<index_t>(i);
        if (board.get_square(index) != Square::NONE) {
            largest =
                std::max(largest, squaresWithin(board, index, map.getBombStrength(), seen, i + 1));
        }
    }
    return largest;
}

// All the bombs together clear at most their number times the largest blast: below the
// playable squares some square is sure to survive; at or above it the bombs may clear the
// board.
std::optional<std::string> bombWarning(const Map& map) {
    const std::size_t bombs = std::size_t{map.getBombs()} * map.getPlayers();
    const std::size_t playable = map.getPlayableTiles();
    if (bombs == 0 || bombs * largestBlast(map) < playable) {
        return std::nullopt;
    }
    std::ostringstream text;
    text << "the " << bombs << " bombs in stock (strength " << map.getBombStrength()
         << ") can clear all " << playable << " playable squares: games may end with no stones";
    return text.str();
}

bool readMapText(const std::string& text, Map& map, std::vector<std::string>& messages) {
    const MapMessageCapture capture(messages);
    return map.loadFromString(text);
}

MapReport checkMapFile(const std::string& path) {
    MapReport report;
    report.name = path;
    report.map = std::make_unique<Map>();
    MapLoad load = MapLoad::INVALID;
    {
        const MapMessageCapture capture(report.errors);
        load = report.map->readFile(path);
    }
    report.opened = load != MapLoad::CANNOT_OPEN;
    if (load == MapLoad::VALID) {
        report.warnings = mapWarnings(*report.map);
        return report;
    }
    if (!report.opened) {
        return report;
    }
    if (report.errors.empty()) {
        report.errors.push_back("the map reader refused the map");
    }
    report.diagnosis = diagnoseFile(path);
    return report;
}

// Stones are counted per player number as written in the map; a stone above the player count
// is accepted by the reader but belongs to nobody who plays.
std::vector<std::string> mapWarnings(const Map& map) {
    std::vector<std::string> warnings;
    std::array<unsigned, 9> stones{};
    for (map_axis y = 0; y < map.getHeight(); ++y) {
        for (map_axis x = 0; x < map.getWidth(); ++x) {
            const Square s = map.getTile(x, y);
            if (!isStone(s)) {
                continue;
            }
            const auto player = static_cast<unsigned>(s);
            ++stones[player];
            if (player > map.getPlayers()) {
                std::ostringstream text;
                text << "stone of player " << player << " at (" << x << ", " << y
                     << ") on a map for " << map.getPlayers() << " players";
                warnings.push_back(text.str());
            }
        }
    }
    for (unsigned p = 1; p <= map.getPlayers(); ++p) {
        if (stones[p] == 0) {
            warnings.push_back("player " + std::to_string(p) + " has no stones at the start");
        }
    }
    for (const Transition& t : map.getTransitions()) {
        if (t.m_xStart == t.m_xEnd && t.m_yStart == t.m_yEnd && t.m_dStart == t.m_dEnd) {
            std::ostringstream text;
            text << "transition " << t << " leads back into itself";
            warnings.push_back(text.str());
        }
    }
    if (auto bombs = bombWarning(map)) {
        warnings.push_back(std::move(*bombs));
    }
    return warnings;
}

void printReport(std::ostream& os, const MapReport& report) {
    if (report.diagnosis) {
        os << *report.diagnosis << '\n';
    }
    os << report.name << ": ";
    if (report.valid()) {
        const Map& map = *report.map;
        os << "valid (" << map.getPlayers() << " players, " << map.getWidth() << " x "
           << map.getHeight() << ", " << map.getTransitions().size() << " transition"
           << (map.getTransitions().size() == 1 ? "" : "s");
        if (!report.warnings.empty()) {
            os << ", " << report.warnings.size() << " warnings";
        }
        os << ")\n";
    } else {
        os << "invalid\n";
    }
    for (const std::string& error : report.errors) {
        os << "  error: " << error << '\n';
    }
    for (const std::string& warning : report.warnings) {
        os << "  warning: " << warning << '\n';
    }
}
