// The replay page's HTML: the header, the controls, the board picture, the score table, the
// chart, the move list and the ranking, followed by the positions as data for the script.
#include "replay/ReplayPage.hpp"

#include <algorithm>
#include <sstream>

#include "replay/SvgBoard.hpp"

namespace {

// The line under the title of a page that follows a running game; the script fills it in.
constexpr const char* LIVE_STATUS =
    "<p id=\"live\" style=\"color:#ffe082\">live: waiting for the next event</p>";

constexpr const char* PLAYER_FILL[8] = {"#e53935", "#1e88e5", "#43a047", "#fdd835",
                                        "#26c6da", "#d81b60", "#bdbdbd", "#424242"};

// A JSON string; '<' is escaped so that no text can close the script element.
std::string jsonString(const std::string& text) {
    std::ostringstream os;
    os << '"';
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            os << '\\' << c;
        } else if (c < 0x20 || c == '<' || c == '>' || c == '&') {
            static const char* hex = "0123456789abcdef";
            os << "\\u00" << hex[c >> 4] << hex[c & 15];
        } else {
            os << c;
        }
    }
    os << '"';
    return os.str();
}

template <typename T>
std::string jsonArray(const std::vector<T>& values) {
    std::ostringstream os;
    os << '[';
    for (std::size_t i = 0; i < values.size(); ++i) {
        os << (i > 0 ? "," : "") << values[i];
    }
    os << ']';
    return os.str();
}

void writeFrames(std::ostream& os, const ReplayData& data) {
    os << "\"frames\":[";
    for (std::size_t n = 0; n < data.frames.size(); ++n) {
        os << (n > 0 ? ",\n" : "") << frameJson(data, n);
    }
    os << "],\n";
}

void writeData(std::ostream& os, const Map& map, const ReplayData& data) {
    os << "<script>\nconst DATA = {\"w\":" << map.getWidth() << ",\"h\":" << map.getHeight()
       << ",\"players\":" << data.players
       << ",\"start\":" << jsonString(data.frames.front().picture.squares) << ",\n";
    writeFrames(os, data);
    os << "\"events\":[";
    for (std::size_t i = 0; i < data.events.size(); ++i) {
        os << (i > 0 ? ",\n" : "") << eventJson(data.events[i]);
    }
    os << "]};\n</script>\n";
}

// Stones per player over the events as one polyline each, the start of the bomb phase as a
// dashed line and a cursor that the script moves.
void writeChart(std::ostream& os, const ReplayData& data) {
    const double width = 440;
    const double height = 200;
    const double left = 38;
    const double bottom = 20;
    unsigned most = 1;
    for (const ReplayFrame& f : data.frames) {
        for (unsigned s : f.stones) {
            most = std::max(most, s);
        }
    }
    const double steps = static_cast<double>(std::max<std::size_t>(1, data.frames.size() - 1));
    const auto xAt = [&](std::size_t n) { return left + (width - left - 8) * n / steps; };
    const auto yAt = [&](unsigned s) { return 8 + (height - bottom - 8) * (1.0 - 1.0 * s / most); };
    os << "<svg id=\"chart\" xmlns=\"http://www.w3.org/2000/svg\" width=\"" << width
       << "\" height=\"" << height << "\" viewBox=\"0 0 " << width << ' ' << height << "\">\n"
       << "<rect x=\"" << left << "\" y=\"8\" width=\"" << width - left - 8 << "\" height=\""
       << height - bottom - 8 << "\" fill=\"#fafafa\" stroke=\"#cfd8dc\"/>\n"
       << "<text x=\"" << left - 4 << "\" y=\"14\" class=\"tick\" text-anchor=\"end\">" << most
       << "</text><text x=\"" << left - 4 << "\" y=\"" << height - bottom
       << "\" class=\"tick\" text-anchor=\"end\">0</text><text x=\"" << width - 8 << "\" y=\""
       << height - 6 << "\" class=\"tick\" text-anchor=\"end\">" << data.frames.size() - 1
       << " events</text>\n";
    for (std::size_t n = 0; n < data.events.size(); ++n) {
        if (data.events[n].bombPhase && (n == 0 || !data.events[n - 1].bombPhase)) {
            os << "<line x1=\"" << xAt(n) << "\" x2=\"" << xAt(n) << "\" y1=\"8\" y2=\""
               << height - bottom << "\" stroke=\"#ff6f00\" stroke-dasharray=\"4 3\"/>"
               << "<text x=\"" << xAt(n) - 3 << "\" y=\"20\" class=\"tick\" "
               << "text-anchor=\"end\">bombs</text>\n";
        }
        if (data.events[n].disqualification) {
            os << "<line x1=\"" << xAt(n + 1) << "\" x2=\"" << xAt(n + 1) << "\" y1=\"8\" y2=\""
               << height - bottom << "\" stroke=\"#c62828\" stroke-width=\"1\"/>\n";
        }
    }
    for (unsigned p = 0; p < data.players; ++p) {
        os << "<polyline fill=\"none\" stroke-width=\"2\" stroke=\"" << PLAYER_FILL[p]
           << "\" points=\"";
        for (std::size_t n = 0; n < data.frames.size(); ++n) {
            os << (n > 0 ? " " : "") << xAt(n) << ',' << yAt(data.frames[n].stones[p]);
        }
        os << "\"/>\n";
    }
    os << "<line id=\"chart-cursor\" x1=\"" << left << "\" x2=\"" << left << "\" y1=\"8\" y2=\""
       << height - bottom << "\" stroke=\"#263238\" stroke-width=\"1.5\"/>\n</svg>\n";
}

// Players by their final score; disqualified players last. Equal scores share a rank.
void writeRanking(std::ostream& os, const ReplayData& data) {
    const ReplayFrame& last = data.frames.back();
    std::vector<unsigned> order;
    for (unsigned p = 0; p < data.players; ++p) {
        order.push_back(p);
    }
    std::stable_sort(order.begin(), order.end(),
                     [&](unsigned a, unsigned b) { return last.scores[a] > last.scores[b]; });
    const bool over = last.phase == "over";
    os << "<h2>" << (over ? "Final ranking" : "Standing at the end of the record") << "</h2>\n";
    if (!over) {
        os << "<p class=\"note\">The record ends before the game did.</p>\n";
    }
    os << "<table id=\"ranking\">\n";
    std::size_t rank = 0;
    for (std::size_t i = 0; i < order.size(); ++i) {
        const int score = last.scores[order[i]];
        if (i == 0 || score != last.scores[order[i - 1]]) {
            rank = i + 1;
        }
        os << "<tr><td>" << (score < 0 ? std::string("-") : std::to_string(rank) + ".")
           << "</td><td><span class=\"dot p" << order[i] + 1 << "\"></span>Player " << order[i] + 1
           << "</td><td>"
           << (score < 0 ? std::string("disqualified") : std::to_string(score) + " stones")
           << "</td></tr>\n";
    }
    os << "</table>\n";
    if (!data.recordedScores.empty() && data.recordedScores != last.scores) {
        os << "<p class=\"note\">The record's own scores line differs: "
           << jsonArray(data.recordedScores) << "</p>\n";
    }
}

void writeScoreTable(std::ostream& os, const ReplayData& data) {
    os << "<table id=\"scores\"><tr><th>player</th><th>stones</th><th>bombs</th>"
          "<th>overrides</th></tr>\n";
    for (unsigned p = 1; p <= data.players; ++p) {
        os << "<tr id=\"row" << p << "\"><td><span class=\"dot p" << p << "\"></span>Player " << p
           << "</td><td class=\"score\" data-player=\"" << p << "\"></td><td class=\"bombs\"></td>"
           << "<td class=\"overrides\"></td></tr>\n";
    }
    os << "</table>\n";
}

void writeMoveList(std::ostream& os, const ReplayData& data) {
    os << "<ol id=\"moves\">\n<li data-n=\"0\" class=\"start\">start</li>\n";
    for (std::size_t i = 0; i < data.events.size(); ++i) {
        const ReplayEvent& e = data.events[i];
        os << "<li data-n=\"" << i + 1 << "\" class=\"p" << e.player << (e.bombPhase ? " bomb" : "")
           << (e.disqualification ? " dq" : "") << "\">" << i + 1 << ". " << xmlEscape(e.text)
           << "</li>\n";
    }
    os << "</ol>\n";
}

void writeControls(std::ostream& os, const ReplayData& data) {
    os << "<div id=\"controls\">"
       << "<button id=\"first\" title=\"first (Home)\">|&#x25C0;</button>"
       << "<button id=\"prev\" title=\"back (left arrow)\">&#x25C0;</button>"
       << "<button id=\"play\" title=\"play / pause (space)\">play</button>"
       << "<button id=\"next\" title=\"forward (right arrow)\">&#x25B6;</button>"
       << "<button id=\"last\" title=\"last (End)\">&#x25B6;|</button>"
       << "<input type=\"range\" id=\"slider\" min=\"0\" max=\"" << data.events.size()
       << "\" value=\"0\">"
       << "<span id=\"position\"></span></div>\n"
       << "<p id=\"status\"></p>\n";
}

} // namespace

// Each frame carries only the squares that changed since the one before, as "<index><square>;"
// items.
std::string frameJson(const ReplayData& data, std::size_t n) {
    std::ostringstream os;
    const ReplayFrame& f = data.frames[n];
    const std::string& now = f.picture.squares;
    const std::string& before = data.frames[n > 0 ? n - 1 : 0].picture.squares;
    os << "{\"c\":\"";
    for (std::size_t i = 0; i < now.size() && i < before.size(); ++i) {
        if (now[i] != before[i]) {
            os << i << now[i] << ';';
        }
    }
    std::vector<unsigned> out;
    for (unsigned p = 1; p <= data.players; ++p) {
        if (f.picture.disqualified[p]) {
            out.push_back(p);
        }
    }
    os << "\",\"s\":" << jsonArray(f.scores) << ",\"n\":" << jsonArray(f.stones)
       << ",\"b\":" << jsonArray(f.bombs) << ",\"o\":" << jsonArray(f.overrides)
       << ",\"next\":" << f.nextPlayer << ",\"ph\":" << jsonString(f.phase)
       << ",\"l\":" << f.picture.lastMove << ",\"dq\":" << jsonArray(out) << '}';
    return os.str();
}

std::string eventJson(const ReplayEvent& event) {
    std::ostringstream os;
    os << "{\"t\":" << jsonString(event.text) << ",\"p\":" << event.player
       << ",\"bomb\":" << (event.bombPhase ? 1 : 0)
       << ",\"dq\":" << (event.disqualification ? 1 : 0) << '}';
    return os.str();
}

std::string replayPage(const Map& map, const ReplayData& data, const std::string& title,
                       const std::string& liveEvents) {
    std::ostringstream os;
    SvgOptions svg;
    svg.title = title;
    svg.standalone = false;
    os << "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>"
       << xmlEscape(title) << "</title>\n<style>\n"
       << REPLAY_STYLE << "</style>\n</head>\n<body>\n<header><h1>" << xmlEscape(title)
       << "</h1><p>" << data.players << " players, " << map.getWidth() << " x " << map.getHeight()
       << ", " << data.events.size()
       << " events. Keys: left/right arrow step, Home/End jump, space plays.</p>"
       << (liveEvents.empty() ? "" : LIVE_STATUS) << "</header>\n"
       << "<main>\n<section id=\"board-pane\">\n";
    writeControls(os, data);
    os << renderBoardSvg(map, data.frames.front().picture, svg) << "</section>\n<aside>\n"
       << "<h2>Scores</h2>\n";
    writeScoreTable(os, data);
    os << "<h2>Stones per player</h2>\n";
    writeChart(os, data);
    os << "<h2>Moves</h2>\n";
    writeMoveList(os, data);
    writeRanking(os, data);
    os << "<details><summary>Board as text</summary><pre id=\"board-text\"></pre></details>\n"
       << "</aside>\n</main>\n";
    writeData(os, map, data);
    if (!liveEvents.empty()) {
        os << "<script>\nconst LIVE = {\"events\":" << jsonString(liveEvents) << "};\n</script>\n";
    }
    os << "<script>\n" << REPLAY_SCRIPT << "</script>\n</body>\n</html>\n";
    return os.str();
}

bool recordReplayPage(const GameRecordData& record, const std::string& title, std::string& page,
                      std::string& error) {
    ReplayData data;
    if (!replayRecord(record, record.events.size(), data, error)) {
        return false;
    }
    Map map;
    map.loadFromString(record.mapText);
    page = replayPage(map, data, title);
    return true;
}
