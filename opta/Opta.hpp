// The command-line argument parser: declare arguments, group them into sets, hand the sets to
// an ArgumentParser and parse. Everything lives in the namespace OPTA.
#pragma once

#include "opta/Argument.hpp"
#include "opta/ArgumentConstraint.hpp"
#include "opta/BaseArgument.hpp"
#include "opta/Exceptions.hpp"
#include "opta/Parser.hpp"
#include "opta/TypedArgument.hpp"
