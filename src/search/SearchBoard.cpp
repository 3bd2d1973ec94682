#include "search/SearchBoard.hpp"
