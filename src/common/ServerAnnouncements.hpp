// The two lines of reversi-server's log that other programs read: the port it listens on
// (reversi-arena, scripts/play, scripts/check-install and scripts/arena-overhead take it from
// "Listening on port N") and each seat taken ("Group G joined as player P", which tells
// reversi-arena that the next seat may be filled). The texts are fixed; the server writes them
// with these functions and the arena reads them back with the parsers below.
#pragma once

#include <optional>
#include <string>
#include <string_view>

// "Listening on port N".
std::string listeningAnnouncement(unsigned port);

// "Group G joined as player P".
std::string joinedAnnouncement(unsigned group, unsigned player);

// The port of a log line that ends with a listening announcement, whatever prefix the log
// gives it; none for any other line or a port beyond 65535.
std::optional<unsigned> announcedPort(std::string_view line);

// The player number of a log line that ends with a joined announcement; none otherwise.
std::optional<unsigned> announcedPlayer(std::string_view line);
