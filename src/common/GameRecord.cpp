#include "common/GameRecord.hpp"

#include <algorithm>
#include <sstream>

#include "common/GameBoard.hpp"

bool GameRecord::open(const std::string& path) {
    m_file.open(path, std::ios::out | std::ios::trunc);
    m_out = m_file.is_open() ? &m_file : nullptr;
    return isOpen();
}

void GameRecord::openInMemory() {
    m_out = &m_text;
}

// The map goes out in the writer's layout behind its line count, so that a reader knows where
// the map ends without parsing it.
void GameRecord::writeMap(const Map& map) {
    if (!isOpen()) {
        return;
    }
    std::ostringstream text;
    text << map;
    const std::string lines = text.str();
    *m_out << "map " << std::count(lines.begin(), lines.end(), '\n') << '\n' << lines << std::flush;
}

void GameRecord::writeMove(const Move& move) {
    if (isOpen()) {
        *m_out << "move " << move.player << ' ' << move.x << ' ' << move.y << ' ' << move.choice
               << std::endl;
    }
}

void GameRecord::writeDisqualification(Player player, const std::string& reason) {
    if (isOpen()) {
        *m_out << "disqualify " << player << ' ' << reason << std::endl;
    }
}

void GameRecord::writeScores(const Game& game) {
    if (!isOpen()) {
        return;
    }
    int scores[8] = {};
    game.get_scores(scores);
    *m_out << "scores";
    for (unsigned i = 0; i < game.getNrPlayers(); ++i) {
        *m_out << ' ' << scores[i];
    }
    *m_out << std::endl;
}

namespace {

// Reads one number of a record line with an upper bound; digits only.
bool readField(std::istream& in, std::uint64_t max, std::uint64_t& value) {
    return static_cast<bool>(readUnsigned(in, value, max));
}

bool validChoice(std::uint64_t choice) {
    return choice <= 8 || choice == static_cast<unsigned>(MoveChoice::BOMB) ||
           choice == static_cast<unsigned>(MoveChoice::OVERRIDE);
}

bool atLineEnd(std::istream& in) {
    in >> std::ws;
    return in.eof();
}

bool parseMove(std::istringstream& line, RecordEvent& event) {
    std::uint64_t player = 0;
    std::uint64_t x = 0;
    std::uint64_t y = 0;
    std::uint64_t choice = 0;
    if (!readField(line, 8, player) || player == 0 || !readField(line, 65535, x) ||
        !readField(line, 65535, y) || !readField(line, 255, choice) || !validChoice(choice) ||
        !atLineEnd(line)) {
        return false;
    }
    event.kind = RecordEvent::Kind::MOVE;
    event.player = static_cast<Player>(player);
    event.x = static_cast<std::uint16_t>(x);
    event.y = static_cast<std::uint16_t>(y);
    event.choice = static_cast<MoveChoice>(choice);
    return true;
}

bool parseDisqualification(std::istringstream& line, RecordEvent& event) {
    std::uint64_t player = 0;
    if (!readField(line, 8, player) || player == 0) {
        return false;
    }
    event.kind = RecordEvent::Kind::DISQUALIFY;
    event.player = static_cast<Player>(player);
    line >> std::ws;
    std::getline(line, event.reason);
    return true;
}

// A score is a stone count or -1 for a disqualified player; at most eight of them.
bool parseScores(std::istringstream& line, std::vector<int>& scores) {
    std::string word;
    while (line >> word) {
        std::istringstream number(word);
        std::uint64_t value = 0;
        if (scores.size() == 8) {
            return false;
        }
        if (word == "-1") {
            scores.push_back(-1);
            continue;
        }
        if (!readField(number, 2500, value) || !atLineEnd(number)) {
            return false;
        }
        scores.push_back(static_cast<int>(value));
    }
    return !scores.empty();
}

// Reads the map part: "map N" and then N lines of map text.
bool readMapText(std::istream& in, std::string& mapText) {
    std::string header;
    if (!std::getline(in, header)) {
        return false;
    }
    std::istringstream line(header);
    std::string word;
    std::uint64_t count = 0;
    if (!(line >> word) || word != "map" || !readField(line, 100000, count) || count == 0 ||
        !atLineEnd(line)) {
        return false;
    }
    std::string text;
    for (std::uint64_t i = 0; i < count; ++i) {
        if (!std::getline(in, text)) {
            return false;
        }
        mapText += text;
        mapText += '\n';
    }
    return true;
}

} // namespace

bool readGameRecord(std::istream& in, GameRecordData& record, std::string& error) {
    record = GameRecordData();
    if (!readMapText(in, record.mapText)) {
        error = "the record does not begin with a complete map";
        return false;
    }
    std::string text;
    std::size_t lineNumber = 0;
    while (std::getline(in, text)) {
        ++lineNumber;
        std::istringstream line(text);
        std::string word;
        if (!(line >> word)) {
            continue;
        }
        RecordEvent event;
        bool ok = false;
        if (record.finished) {
            ok = false;
        } else if (word == "move") {
            ok = parseMove(line, event);
        } else if (word == "disqualify") {
            ok = parseDisqualification(line, event);
        } else if (word == "scores") {
            ok = parseScores(line, record.scores);
            record.finished = ok;
            if (ok) {
                continue;
            }
        }
        if (!ok) {
            error = "bad record line " + std::to_string(lineNumber) + " after the map";
            return false;
        }
        record.events.push_back(event);
    }
    return true;
}

bool loadGameRecord(const std::string& path, GameRecordData& record, std::string& error) {
    std::ifstream in(path);
    if (!in) {
        error = "cannot open " + path;
        return false;
    }
    return readGameRecord(in, record, error);
}

bool RecordReplay::start(const GameRecordData& record, std::string& error) {
    m_game.reset();
    m_map = std::make_unique<Map>();
    m_record = &record;
    m_next = 0;
    if (!m_map->loadFromString(record.mapText)) {
        error = "the record's map is not valid";
        return false;
    }
    m_game = std::make_unique<Game>(*m_map, false);
    return true;
}

bool RecordReplay::step(std::string& error) {
    if (atEnd() || !m_game) {
        error = "no event left to replay";
        return false;
    }
    const RecordEvent& event = m_record->events[m_next];
    if (event.kind == RecordEvent::Kind::DISQUALIFY) {
        if (static_cast<unsigned>(event.player) > m_game->getNrPlayers()) {
            error = "event " + std::to_string(m_next + 1) + " disqualifies a player the map lacks";
            return false;
        }
        m_game->disqualify(event.player);
    } else {
        const Move move(event.x, event.y, event.choice, event.player, m_game->is_terminal());
        if (m_game->is_final() || !m_game->checkMove(move, !move.terminal) ||
            (move.terminal && move.choice != MoveChoice::NONE)) {
            error = "event " + std::to_string(m_next + 1) + " is not a legal move";
            return false;
        }
        m_game->makeMove(move);
    }
    ++m_next;
    return true;
}
