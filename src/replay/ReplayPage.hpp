// The replay of one game as a single self-contained web page: the board picture, controls to
// step through the events (buttons, arrow keys, a slider, the address's #move=N), the move
// list, the stones per player as a chart, the scores and the final ranking. Everything the
// page shows is embedded; only a page that follows a running game fetches its events.
#pragma once

#include <string>

#include "common/Map.hpp"
#include "replay/ReplayData.hpp"

// With `liveEvents`, the address of a running game's event stream, the page follows the game:
// it adds each event that the stream sends (see liveEventJson) and reloads when the game ends.
std::string replayPage(const Map& map, const ReplayData& data, const std::string& title,
                       const std::string& liveEvents = "");

// The replay page of a whole record; false with a message naming the first event the rules
// reject.
bool recordReplayPage(const GameRecordData& record, const std::string& title, std::string& page,
                      std::string& error);

// The page's JSON of frame n (its changes against frame n - 1) and of one event, as the page's
// script reads them.
std::string frameJson(const ReplayData& data, std::size_t n);
std::string eventJson(const ReplayEvent& event);

// The page's fixed style sheet and script.
extern const char* const REPLAY_STYLE;
extern const char* const REPLAY_SCRIPT;
