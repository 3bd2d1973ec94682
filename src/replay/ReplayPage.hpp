// The replay of one game as a single self-contained web page: the board picture, controls to
// step through the events (buttons, arrow keys, a slider, the address's #move=N), the move
// list, the stones per player as a chart, the scores and the final ranking. Everything the
// page shows is embedded; it fetches nothing.
#pragma once

#include <string>

#include "common/Map.hpp"
#include "replay/ReplayData.hpp"

std::string replayPage(const Map& map, const ReplayData& data, const std::string& title);

// The page's fixed style sheet and script.
extern const char* const REPLAY_STYLE;
extern const char* const REPLAY_SCRIPT;
