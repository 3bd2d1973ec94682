// The logging facility in one include.
#pragma once

#include "logcraft/formatter.hpp"
#include "logcraft/level.hpp"
#include "logcraft/logger.hpp"
#include "logcraft/sink.hpp"
