// The entry sequence every program of the project shares.
#pragma once

#include "common/Tool.hpp"

// Ignores SIGPIPE, runs init, starts the socket layer, runs the tool and shuts the socket layer
// down. Returns the exit status: 0 only when the tool's work succeeded, 1 otherwise.
int runProgram(Tool& tool, int argc, char** argv);
