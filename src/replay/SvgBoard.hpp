// The board as an SVG picture: the grid with its coordinates, one group per square that is
// playable on the map, stones in the players' colours, special squares with their letter and
// a legend, every transition as one curve between the sides its ends leave through, and the
// last move outlined. The replay page embeds the same picture and restyles the squares.
#pragma once

#include <string>

#include "common/Map.hpp"
#include "replay/BoardPicture.hpp"

struct SvgOptions {
    std::string title;
    // A second line under the title, e.g. the scores.
    std::string caption;
    // With the XML declaration, for a file of its own; without it for embedding in HTML.
    bool standalone = true;
};

// Square n (row-major index) is the group with id "q<n>" and classes "sq" and
// squareClass(content); its text holds squareLabel(content). Transitions are paths of class
// "tr"; the last move's outline is the element with id "lastmove".
std::string renderBoardSvg(const Map& map, const BoardPicture& picture, const SvgOptions& options);

// The text with &, <, > and quotes written as XML entities.
std::string xmlEscape(const std::string& text);
