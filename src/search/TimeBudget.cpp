// The arithmetic of the time a move may take, from the limit of the request to the deadlines
// of the search.
#include "search/TimeBudget.hpp"

#include <algorithm>

unsigned grantedMs(unsigned limitMs, unsigned moveTimeMs) {
    return limitMs != 0 ? limitMs : moveTimeMs;
}

SearchLimits moveLimits(SearchClock::time_point start, unsigned limitMs, unsigned depth,
                        const SearchParams& params) {
    using std::chrono::microseconds;
    const double marginUs = 1000.0 * (limitMs * params.timeMarginFraction + params.timeMarginMs);
    const double budgetUs = std::max(0.0, 1000.0 * limitMs - marginUs);
    SearchLimits limits;
    limits.depth = depth;
    limits.deadline = start + microseconds(static_cast<long long>(budgetUs));
    limits.softDeadline =
        start + microseconds(static_cast<long long>(budgetUs * params.newIterationFraction));
    return limits;
}
