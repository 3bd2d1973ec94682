// The time a search may take for a move: the limit the server gave, less a margin for sending
// the answer and for a busy machine.
#pragma once

#include "search/Searcher.hpp"

// The milliseconds a move request grants: its limit (after the client's safety offset), or
// `moveTimeMs` (--movetime) when the server sets none (a limit of 0).
unsigned grantedMs(unsigned limitMs, unsigned moveTimeMs);

// Limits of a search that starts its clock at `start` (when the request arrived) for a move
// with `limitMs` milliseconds and a depth limit (0 for none). The hard deadline is the limit
// less the params' timeMarginFraction and timeMarginMs; no iteration starts after
// newIterationFraction of that. A limit within the margin leaves no time: the deadline is the
// start, and the searcher answers at once.
SearchLimits moveLimits(SearchClock::time_point start, unsigned limitMs, unsigned depth,
                        const SearchParams& params = {});
