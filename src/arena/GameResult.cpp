#include "arena/GameResult.hpp"

#include <charconv>
#include <sstream>

#include "arena/PlayerList.hpp"

namespace {

constexpr const char* Header = "reversi-arena-result 1";
constexpr unsigned MaxGame = 100000000;
constexpr std::size_t MaxMapPath = 4096;

const char* statusName(GameStatus status) {
    switch (status) {
    case GameStatus::Finished:
        return "finished";
    case GameStatus::Stopped:
        return "stopped";
    default:
        return "failed";
    }
}

// A whole word as a number in [low, high]; from_chars neither throws nor reads past the word.
template <typename T>
bool readNumber(const std::string& word, T low, T high, T& value) {
    T read{};
    const char* end = word.data() + word.size();
    const auto [stop, error] = std::from_chars(word.data(), end, read);
    if (word.empty() || error != std::errc() || stop != end || read < low || read > high) {
        return false;
    }
    value = read;
    return true;
}

// The text after "key " on a line that must start with it.
bool valueOf(const std::string& line, const std::string& key, std::string& value) {
    if (line.size() <= key.size() + 1 || line.compare(0, key.size(), key) != 0 ||
        line[key.size()] != ' ') {
        return false;
    }
    value = line.substr(key.size() + 1);
    return true;
}

// The line split at single blanks; empty words (double blanks) are kept, so they fail later.
std::vector<std::string> words(const std::string& line) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (std::size_t blank; (blank = line.find(' ', start)) != std::string::npos;
         start = blank + 1) {
        parts.push_back(line.substr(start, blank - start));
    }
    parts.push_back(line.substr(start));
    return parts;
}

bool readStatus(const std::string& word, GameStatus& status) {
    for (const GameStatus s : {GameStatus::Finished, GameStatus::Stopped, GameStatus::Failed}) {
        if (word == statusName(s)) {
            status = s;
            return true;
        }
    }
    return false;
}

bool readCause(const std::string& word, DisqualifyCause& cause) {
    for (const DisqualifyCause c :
         {DisqualifyCause::None, DisqualifyCause::Time, DisqualifyCause::Illegal,
          DisqualifyCause::Disconnect, DisqualifyCause::Other}) {
        if (word == causeName(c)) {
            cause = c;
            return true;
        }
    }
    return false;
}

// "seat <s> <player> <score> <cause>" for seat number `expected`.
bool readSeat(const std::string& line, std::size_t expected, SeatResult& seat) {
    const auto parts = words(line);
    std::size_t number = 0;
    if (parts.size() != 5 || parts[0] != "seat" ||
        !readNumber<std::size_t>(parts[1], 1, MaxSeats, number) || number != expected ||
        !isValidPlayerName(parts[2]) || !readNumber(parts[3], -1, MaxScore, seat.score) ||
        !readCause(parts[4], seat.cause)) {
        return false;
    }
    seat.player = parts[2];
    return (seat.score < 0) == (seat.cause != DisqualifyCause::None);
}

} // namespace

const char* causeName(DisqualifyCause cause) {
    switch (cause) {
    case DisqualifyCause::None:
        return "-";
    case DisqualifyCause::Time:
        return "time";
    case DisqualifyCause::Illegal:
        return "illegal";
    case DisqualifyCause::Disconnect:
        return "disconnect";
    default:
        return "other";
    }
}

// A wrong message in place of a move is an illegal answer as much as an illegal square.
DisqualifyCause causeFromReason(const std::string& reason) {
    if (reason == "no move within the time limit") {
        return DisqualifyCause::Time;
    }
    if (reason.rfind("illegal move", 0) == 0 || reason == "sent another message than a move") {
        return DisqualifyCause::Illegal;
    }
    if (reason == "disconnected" || reason == "connection lost or corrupt message") {
        return DisqualifyCause::Disconnect;
    }
    return DisqualifyCause::Other;
}

std::string formatGameResult(const GameResult& result) {
    std::ostringstream out;
    out << Header << '\n'
        << "game " << result.game << '\n'
        << "map " << result.map << '\n'
        << "status " << statusName(result.status) << '\n'
        << "duration_ms " << result.durationMs << '\n';
    for (std::size_t i = 0; i < result.seats.size(); ++i) {
        const SeatResult& seat = result.seats[i];
        out << "seat " << i + 1 << ' ' << seat.player << ' ' << seat.score << ' '
            << causeName(seat.cause) << '\n';
    }
    return out.str();
}

bool parseGameResult(const std::string& text, GameResult& result) {
    std::istringstream in(text);
    std::string line, value;
    GameResult read;
    if (!std::getline(in, line) || line != Header) {
        return false;
    }
    if (!std::getline(in, line) || !valueOf(line, "game", value) ||
        !readNumber(value, 1u, MaxGame, read.game)) {
        return false;
    }
    if (!std::getline(in, line) || !valueOf(line, "map", read.map) ||
        read.map.size() > MaxMapPath) {
        return false;
    }
    if (!std::getline(in, line) || !valueOf(line, "status", value) ||
        !readStatus(value, read.status)) {
        return false;
    }
    if (!std::getline(in, line) || !valueOf(line, "duration_ms", value) ||
        !readNumber<std::uint64_t>(value, 0, UINT64_MAX, read.durationMs)) {
        return false;
    }
    while (std::getline(in, line)) {
        SeatResult seat;
        if (read.seats.size() == MaxSeats || !readSeat(line, read.seats.size() + 1, seat)) {
            return false;
        }
        read.seats.push_back(std::move(seat));
    }
    if (read.seats.size() < 2) {
        return false;
    }
    result = std::move(read);
    return true;
}
