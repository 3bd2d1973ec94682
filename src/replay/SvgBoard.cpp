#include "replay/SvgBoard.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <iomanip>
#include <sstream>
#include <vector>

namespace {

// Player colours 1 ... 8, and the text colour that reads on each.
constexpr const char* PLAYER_FILL[8] = {"#e53935", "#1e88e5", "#43a047", "#fdd835",
                                        "#26c6da", "#d81b60", "#fafafa", "#424242"};
constexpr const char* PLAYER_TEXT[8] = {"#fff", "#fff", "#fff", "#222",
                                        "#222", "#fff", "#222", "#fff"};
// Transitions cycle through these colours; each has an arrow marker of its own.
constexpr const char* TRANSITION_COLOURS[] = {"#6a1b9a", "#00838f", "#ef6c00", "#2e7d32",
                                              "#ad1457", "#1565c0", "#5d4037", "#9e9d24"};
constexpr int N_TRANSITION_COLOURS = 8;

// Every measure of the drawing follows from the cell size.
struct Layout {
    double cell = 0;
    double margin = 0;
    double top = 0;
    double left = 0;
    double width = 0;
    double legendTop = 0;
    double height = 0;
    double font = 0;
};

struct Point {
    double x = 0;
    double y = 0;
};

std::string num(double value) {
    std::ostringstream os;
    os << std::fixed << std::setprecision(1) << value;
    std::string text = os.str();
    if (text.size() > 2 && text.compare(text.size() - 2, 2, ".0") == 0) {
        text.resize(text.size() - 2);
    }
    return text;
}

// One legend entry: a swatch class and its text.
struct LegendItem {
    std::string cls;
    std::string label;
    std::string text;
};

constexpr double LegendItemWidth = 132;
constexpr double LegendRowHeight = 26;
constexpr double TitleHeight = 46;

std::vector<LegendItem> legendItems(const Map& map, const BoardPicture& picture) {
    std::vector<LegendItem> items;
    for (unsigned p = 1; p <= map.getPlayers(); ++p) {
        items.push_back(
            {"p" + std::to_string(p), std::to_string(p),
             "player " + std::to_string(p) + (picture.disqualified[p] ? " (out)" : "")});
    }
    const std::pair<char, const char*> specials[] = {
        {'c', "choice"}, {'i', "inversion"}, {'b', "bonus"}, {'x', "expansion"}};
    for (const auto& [square, name] : specials) {
        if (picture.squares.find(square) != std::string::npos) {
            items.push_back({std::string(1, square), std::string(1, square), name});
        }
    }
    return items;
}

Layout makeLayout(const Map& map, std::size_t legendCount) {
    Layout l;
    const double longest = std::max(map.getWidth(), map.getHeight());
    l.cell = std::clamp(std::round(760.0 / longest), 14.0, 48.0);
    l.margin = std::max(2.4 * l.cell, 56.0);
    l.font = std::clamp(l.cell * 0.42, 8.0, 15.0);
    l.top = TitleHeight + l.margin;
    l.width = std::max(2 * l.margin + map.getWidth() * l.cell, 460.0);
    l.left = (l.width - map.getWidth() * l.cell) / 2;
    l.legendTop = l.top + map.getHeight() * l.cell + l.margin;
    const auto perRow = std::max(1.0, std::floor((l.width - 20) / LegendItemWidth));
    const double rows = std::ceil(static_cast<double>(legendCount + 2) / perRow);
    l.height = l.legendTop + rows * LegendRowHeight + 10;
    return l;
}

Point squareCentre(const Layout& l, map_axis x, map_axis y) {
    return {l.left + (x + 0.5) * l.cell, l.top + (y + 0.5) * l.cell};
}

void writeStyle(std::ostream& os, const Layout& l) {
    os << "<style>\n"
       << "text{font-family:'DejaVu Sans',Verdana,sans-serif}\n"
       << ".title{font-size:17px;font-weight:bold;fill:#263238}"
       << ".caption{font-size:13px;fill:#455a64}"
       << ".axis{font-size:" << num(l.font)
       << "px;fill:#546e7a;stroke:#fff;stroke-width:3;paint-order:stroke}"
       << ".legend{font-size:13px;fill:#263238}\n"
       << ".sq rect{fill:#e6ebe0;stroke:#a7b1a0;stroke-width:1}"
       << ".sq circle{display:none;stroke:#263238;stroke-width:1}"
       << ".sq text{font-size:" << num(l.cell * 0.46)
       << "px;font-weight:bold;text-anchor:middle;dominant-baseline:central}\n"
       << ".sq.c rect{fill:#ffca28}.sq.i rect{fill:#b39ddb}.sq.b rect{fill:#80cbc4}"
       << ".sq.x rect{fill:#78909c}.sq.x text{fill:#fff}\n"
       << ".sq.h rect{fill:none;stroke:#cfd8dc;stroke-dasharray:3 3}\n";
    for (int p = 0; p < 8; ++p) {
        os << ".sq.p" << p + 1 << " circle{display:inline;fill:" << PLAYER_FILL[p] << "}"
           << ".sq.p" << p + 1 << " text{fill:" << PLAYER_TEXT[p] << "}\n";
    }
    os << ".sq.dq circle{fill-opacity:0.3;stroke-dasharray:2 2}.sq.dq text{fill:#455a64}\n"
       << ".tr{fill:none;stroke-width:" << num(std::max(1.6, l.cell * 0.08))
       << ";stroke-opacity:0.75;stroke-linecap:round;stroke-linejoin:round}\n"
       << "#lastmove{fill:none;stroke:#ff3d00;stroke-width:" << num(std::max(2.5, l.cell * 0.1))
       << "}\n"
       << "</style>\n";
}

void writeMarkers(std::ostream& os) {
    os << "<defs>\n";
    for (int i = 0; i < N_TRANSITION_COLOURS; ++i) {
        os << "<marker id=\"arrow" << i
           << "\" viewBox=\"0 0 10 10\" refX=\"9\" refY=\"5\" markerWidth=\"4\" "
              "markerHeight=\"4\" orient=\"auto-start-reverse\"><path d=\"M0,0 L10,5 L0,10 "
              "z\" fill=\""
           << TRANSITION_COLOURS[i] << "\"/></marker>\n";
    }
    os << "</defs>\n";
}

void writeAxes(std::ostream& os, const Layout& l, const Map& map) {
    os << "<g class=\"axis\">\n";
    for (map_axis x = 0; x < map.getWidth(); ++x) {
        os << "<text x=\"" << num(l.left + (x + 0.5) * l.cell) << "\" y=\""
           << num(l.top - l.font * 0.5) << "\" text-anchor=\"middle\">" << x << "</text>";
    }
    for (map_axis y = 0; y < map.getHeight(); ++y) {
        os << "<text x=\"" << num(l.left - l.font * 0.5) << "\" y=\""
           << num(l.top + (y + 0.5) * l.cell) << "\" text-anchor=\"end\" "
           << "dominant-baseline=\"central\">" << y << "</text>";
    }
    os << "\n</g>\n";
}

// A square that the map makes a hole is left out; one that a bomb removed keeps its group.
void writeSquares(std::ostream& os, const Layout& l, const Map& map, const BoardPicture& picture) {
    os << "<g id=\"squares\">\n";
    for (map_axis y = 0; y < map.getHeight(); ++y) {
        for (map_axis x = 0; x < map.getWidth(); ++x) {
            if (map.getTile(x, y) == Square::NONE) {
                continue;
            }
            const std::size_t index = y * map.getWidth() + x;
            const char square = index < picture.squares.size() ? picture.squares[index] : '-';
            const bool out = square >= '1' && square <= '8' &&
                             picture.disqualified[static_cast<unsigned>(square - '0')];
            const Point c = squareCentre(l, x, y);
            os << "<g id=\"q" << index << "\" class=\"sq " << squareClass(square)
               << (out ? " dq" : "") << "\"><rect x=\"" << num(l.left + x * l.cell) << "\" y=\""
               << num(l.top + y * l.cell) << "\" width=\"" << num(l.cell) << "\" height=\""
               << num(l.cell) << "\"/><circle cx=\"" << num(c.x) << "\" cy=\"" << num(c.y)
               << "\" r=\"" << num(l.cell * 0.38) << "\"/><text x=\"" << num(c.x) << "\" y=\""
               << num(c.y) << "\">" << squareLabel(square) << "</text></g>\n";
        }
    }
    os << "</g>\n";
}

// The frame around the grid that the transitions between outer edges run along, `lane`
// away from the grid; positions on it are measured clockwise from its top-left corner.
struct Ring {
    double x0, y0, x1, y1;

    double perimeter() const { return 2 * (x1 - x0) + 2 * (y1 - y0); }
    // The corners in clockwise order with their positions.
    std::array<std::pair<double, Point>, 4> corners() const {
        const double w = x1 - x0;
        const double h = y1 - y0;
        return {{{0, {x0, y0}}, {w, {x1, y0}}, {w + h, {x1, y1}}, {2 * w + h, {x0, y1}}}};
    }
    // The point of the ring nearest to a point outside it, and its position.
    std::pair<double, Point> project(Point q) const {
        Point c{std::clamp(q.x, x0, x1), std::clamp(q.y, y0, y1)};
        const double w = x1 - x0;
        const double h = y1 - y0;
        const double nearest = std::min({c.x - x0, x1 - c.x, c.y - y0, y1 - c.y});
        if (nearest > 0) {
            if (nearest == c.y - y0) {
                c.y = y0;
            } else if (nearest == x1 - c.x) {
                c.x = x1;
            } else if (nearest == y1 - c.y) {
                c.y = y1;
            } else {
                c.x = x0;
            }
        }
        if (c.y == y0) {
            return {c.x - x0, c};
        }
        if (c.x == x1) {
            return {w + c.y - y0, c};
        }
        if (c.y == y1) {
            return {w + h + x1 - c.x, c};
        }
        return {2 * w + h + y1 - c.y, {x0, c.y}};
    }
};

struct EndPoint {
    Point exit;
    double dx;
    double dy;
    // The unnormalised step, which reaches the ring in both axes of a diagonal.
    double stepX;
    double stepY;
    bool outward;
};

// Where a transition end leaves its square (the middle of a side, or a corner for a diagonal),
// its unit direction, and whether it faces the outside of the grid rather than a hole in it.
EndPoint endPoint(const Layout& l, const Map& map, map_axis x, map_axis y, Direction d) {
    const auto dir = static_cast<unsigned>(d);
    const Point c = squareCentre(l, x, y);
    const double length = std::hypot(STEP_X[dir], STEP_Y[dir]);
    const std::int64_t nx = std::int64_t{x} + STEP_X[dir];
    const std::int64_t ny = std::int64_t{y} + STEP_Y[dir];
    const bool outward = nx < 0 || ny < 0 || nx >= map.getWidth() || ny >= map.getHeight();
    return {{c.x + STEP_X[dir] * l.cell / 2, c.y + STEP_Y[dir] * l.cell / 2},
            STEP_X[dir] / length,
            STEP_Y[dir] / length,
            static_cast<double>(STEP_X[dir]),
            static_cast<double>(STEP_Y[dir]),
            outward};
}

// Both ends face the outside: out to the ring, along it the shorter way round, back in.
void writeRingRoute(std::ostream& os, const Ring& ring, const EndPoint& a, const EndPoint& b,
                    double lane) {
    const Point qa{a.exit.x + a.stepX * lane, a.exit.y + a.stepY * lane};
    const Point qb{b.exit.x + b.stepX * lane, b.exit.y + b.stepY * lane};
    const auto [ta, ra] = ring.project(qa);
    const auto [tb, rb] = ring.project(qb);
    const double total = ring.perimeter();
    const double clockwise = std::fmod(tb - ta + total, total);
    os << "M" << num(a.exit.x) << ',' << num(a.exit.y) << " L" << num(qa.x) << ',' << num(qa.y)
       << " L" << num(ra.x) << ',' << num(ra.y);
    std::vector<std::pair<double, Point>> passed;
    for (const auto& [t, corner] : ring.corners()) {
        const double fromA = std::fmod(t - ta + total, total);
        if (clockwise <= total / 2 ? fromA > 0 && fromA < clockwise
                                   : fromA > clockwise && fromA < total) {
            passed.emplace_back(clockwise <= total / 2 ? fromA : total - fromA, corner);
        }
    }
    std::sort(passed.begin(), passed.end(),
              [](const auto& x, const auto& y) { return x.first < y.first; });
    for (const auto& [distance, corner] : passed) {
        os << " L" << num(corner.x) << ',' << num(corner.y);
    }
    os << " L" << num(rb.x) << ',' << num(rb.y) << " L" << num(qb.x) << ',' << num(qb.y) << " L"
       << num(b.exit.x) << ',' << num(b.exit.y);
}

// An end that faces a hole inside the grid: one curve that leaves each end in its direction.
void writeCurve(std::ostream& os, const Layout& l, const EndPoint& a, const EndPoint& b) {
    const double distance = std::hypot(b.exit.x - a.exit.x, b.exit.y - a.exit.y);
    const double reach = std::min(l.cell * 1.1 + 0.3 * distance, l.margin);
    os << "M" << num(a.exit.x) << ',' << num(a.exit.y) << " C" << num(a.exit.x + a.dx * reach)
       << ',' << num(a.exit.y + a.dy * reach) << ' ' << num(b.exit.x + b.dx * reach) << ','
       << num(b.exit.y + b.dy * reach) << ' ' << num(b.exit.x) << ',' << num(b.exit.y);
}

// Each transition is one path with an arrow at both ends pointing into the squares, so that
// the side each end leaves through is visible; transitions between outer edges run on lanes
// around the grid so that they do not cross the board.
void writeTransitions(std::ostream& os, const Layout& l, const Map& map) {
    os << "<g id=\"transitions\">\n";
    const auto transitions = map.getTransitions();
    const std::size_t lanes = std::clamp<std::size_t>(transitions.size(), 1, 10);
    const double firstLane = l.font * 1.6;
    for (std::size_t i = 0; i < transitions.size(); ++i) {
        const Transition& t = transitions[i];
        const EndPoint a = endPoint(l, map, t.m_xStart, t.m_yStart, t.m_dStart);
        const EndPoint b = endPoint(l, map, t.m_xEnd, t.m_yEnd, t.m_dEnd);
        const double lane =
            firstLane + (l.margin - firstLane - 4) * (static_cast<double>(i % lanes) + 0.5) / lanes;
        const Ring ring{l.left - lane, l.top - lane, l.left + map.getWidth() * l.cell + lane,
                        l.top + map.getHeight() * l.cell + lane};
        const int colour = static_cast<int>(i % N_TRANSITION_COLOURS);
        os << "<path class=\"tr\" stroke=\"" << TRANSITION_COLOURS[colour] << "\" d=\"";
        if (a.outward && b.outward) {
            writeRingRoute(os, ring, a, b, lane);
        } else {
            writeCurve(os, l, a, b);
        }
        os << "\" marker-start=\"url(#arrow" << colour << ")\" marker-end=\"url(#arrow" << colour
           << ")\"><title>";
        std::ostringstream text;
        text << t;
        os << xmlEscape(text.str()) << "</title></path>\n";
    }
    os << "</g>\n";
}

void writeLastMove(std::ostream& os, const Layout& l, const Map& map, int lastMove) {
    const bool shown = lastMove >= 0 && static_cast<std::uint32_t>(lastMove) < map.getTotalTiles();
    const map_axis x = shown ? static_cast<map_axis>(lastMove) % map.getWidth() : 0;
    const map_axis y = shown ? static_cast<map_axis>(lastMove) / map.getWidth() : 0;
    os << "<rect id=\"lastmove\" x=\"" << num(l.left + x * l.cell + 1) << "\" y=\""
       << num(l.top + y * l.cell + 1) << "\" width=\"" << num(l.cell - 2) << "\" height=\""
       << num(l.cell - 2) << "\" visibility=\"" << (shown ? "visible" : "hidden") << "\"/>\n";
}

void writeLegend(std::ostream& os, const Layout& l, const std::vector<LegendItem>& items) {
    const auto perRow =
        static_cast<std::size_t>(std::max(1.0, std::floor((l.width - 20) / LegendItemWidth)));
    const double swatch = 18;
    os << "<g class=\"legend\">\n";
    std::size_t slot = 0;
    const auto position = [&](std::size_t n) {
        return Point{10 + static_cast<double>(n % perRow) * LegendItemWidth,
                     l.legendTop + static_cast<double>(n / perRow) * LegendRowHeight};
    };
    for (const LegendItem& item : items) {
        const Point p = position(slot++);
        os << "<g class=\"sq key " << item.cls << "\"><rect x=\"" << num(p.x) << "\" y=\""
           << num(p.y) << "\" width=\"" << swatch << "\" height=\"" << swatch << "\"/><circle cx=\""
           << num(p.x + swatch / 2) << "\" cy=\"" << num(p.y + swatch / 2) << "\" r=\""
           << num(swatch * 0.4) << "\"/><text x=\"" << num(p.x + swatch / 2) << "\" y=\""
           << num(p.y + swatch / 2) << "\" style=\"font-size:11px\">" << item.label
           << "</text></g><text x=\"" << num(p.x + swatch + 6) << "\" y=\"" << num(p.y + swatch / 2)
           << "\" dominant-baseline=\"central\">" << item.text << "</text>\n";
    }
    Point p = position(slot++);
    os << "<path class=\"tr key\" stroke=\"" << TRANSITION_COLOURS[0] << "\" d=\"M" << num(p.x + 2)
       << ',' << num(p.y + swatch / 2) << " L" << num(p.x + swatch + 2) << ','
       << num(p.y + swatch / 2) << "\" marker-end=\"url(#arrow0)\"/><text x=\""
       << num(p.x + swatch + 8) << "\" y=\"" << num(p.y + swatch / 2)
       << "\" dominant-baseline=\"central\">transition</text>\n";
    p = position(slot);
    os << "<rect x=\"" << num(p.x + 1) << "\" y=\"" << num(p.y + 1) << "\" width=\"" << swatch - 2
       << "\" height=\"" << swatch - 2
       << "\" style=\"fill:none;stroke:#ff3d00;stroke-width:2.5\"/><text x=\""
       << num(p.x + swatch + 6) << "\" y=\"" << num(p.y + swatch / 2)
       << "\" dominant-baseline=\"central\">last move</text>\n</g>\n";
}

} // namespace

std::string xmlEscape(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string renderBoardSvg(const Map& map, const BoardPicture& picture, const SvgOptions& options) {
    const auto items = legendItems(map, picture);
    const Layout l = makeLayout(map, items.size());
    std::ostringstream os;
    if (options.standalone) {
        os << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    }
    os << "<svg xmlns=\"http://www.w3.org/2000/svg\" class=\"board\" width=\"" << num(l.width)
       << "\" height=\"" << num(l.height) << "\" viewBox=\"0 0 " << num(l.width) << ' '
       << num(l.height) << "\">\n";
    writeStyle(os, l);
    writeMarkers(os);
    os << "<rect width=\"100%\" height=\"100%\" fill=\"#ffffff\"/>\n"
       << "<text class=\"title\" x=\"12\" y=\"22\">" << xmlEscape(options.title) << "</text>\n"
       << "<text class=\"caption\" id=\"caption\" x=\"12\" y=\"40\">" << xmlEscape(options.caption)
       << "</text>\n";
    writeSquares(os, l, map, picture);
    writeLastMove(os, l, map, picture.lastMove);
    writeTransitions(os, l, map);
    writeAxes(os, l, map);
    writeLegend(os, l, items);
    os << "</svg>\n";
    return os.str();
}
