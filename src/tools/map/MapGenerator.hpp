// Random maps that are fair to every seat: each player starts with the same stones in the
// same pattern and has moves, and holes, special squares and transitions come in pairs that
// are point-symmetric about the board's centre wherever the size allows.
#pragma once

#include <cstdint>
#include <string>

struct GeneratorOptions {
    unsigned players = 2;
    unsigned width = 8;
    unsigned height = 8;
    // Share of the squares that become holes, in per cent.
    unsigned holes = 0;
    unsigned transitions = 0;
    unsigned choice = 0;
    unsigned inversion = 0;
    unsigned bonus = 0;
    unsigned expansion = 0;
    unsigned overrides = 0;
    unsigned bombs = 0;
    unsigned bombStrength = 0;
    std::uint32_t seed = 0;
};

// Reads "WxH" (e.g. "20x16"), each side 1 ... 50.
bool parseSize(const std::string& text, unsigned& width, unsigned& height);
// Reads exactly `count` comma-separated unsigned numbers of at most `max` each.
bool parseNumberList(const std::string& text, unsigned count, unsigned max, unsigned* values);

// False with the reason when the options cannot give such a map (too small for the players,
// stocks the map format cannot hold, more special squares than room).
bool checkGeneratorOptions(const GeneratorOptions& options, std::string& error);

// Generates a map in the map writer's layout. The same options and seed give the same map.
// Every map returned reads as valid, gives each player the same number of start stones and
// a legal move at the start.
bool generateMap(const GeneratorOptions& options, std::string& mapText, std::string& error);
