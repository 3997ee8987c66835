#pragma once
// Moments as the engine's timings record them: seconds since 1 January 2001, 00:00 UTC (the platform's
// absolute reference date), and the date text its logs print.

#include <string>

namespace sonavex {

/// Seconds since 2001-01-01 00:00:00 UTC.
double currentAbsoluteTime();

/// "2026-12-09 01:02:03 +0000": the current moment in UTC.
std::string currentDateDescription();

} // namespace sonavex
