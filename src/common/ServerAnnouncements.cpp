// The server's announcements, formatted and parsed from one set of markers.
#include "common/ServerAnnouncements.hpp"

#include <charconv>

namespace {

constexpr std::string_view ListeningMarker = "Listening on port ";
constexpr std::string_view JoinedMarker = " joined as player ";
constexpr unsigned MaxPort = 65535;
// Player numbers fit one byte on the wire.
constexpr unsigned MaxPlayer = 255;

// The number that follows the last `marker` of the line and ends it, when it is at most `max`.
std::optional<unsigned> numberEnding(std::string_view line, std::string_view marker, unsigned max) {
    const auto at = line.rfind(marker);
    if (at == std::string_view::npos) {
        return std::nullopt;
    }
    const char* first = line.data() + at + marker.size();
    const char* last = line.data() + line.size();
    unsigned value = 0;
    const auto [stop, error] = std::from_chars(first, last, value);
    if (first == last || error != std::errc() || stop != last || value > max) {
        return std::nullopt;
    }
    return value;
}

} // namespace

std::string listeningAnnouncement(unsigned port) {
    return std::string(ListeningMarker) + std::to_string(port);
}

std::string joinedAnnouncement(unsigned group, unsigned player) {
    return "Group " + std::to_string(group) + std::string(JoinedMarker) + std::to_string(player);
}

std::optional<unsigned> announcedPort(std::string_view line) {
    return numberEnding(line, ListeningMarker, MaxPort);
}

std::optional<unsigned> announcedPlayer(std::string_view line) {
    return numberEnding(line, JoinedMarker, MaxPlayer);
}
