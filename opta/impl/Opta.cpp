#include "opta/Opta.hpp"
