// The turn engine. For now it holds the game vocabulary.
#pragma once

#include "common/GameTypes.hpp"
