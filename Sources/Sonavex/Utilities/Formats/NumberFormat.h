#pragma once
// One number in printf notation, as the engine's reports show it. A NaN prints as "nan" whatever its sign
// bit (the C library would print "-nan" for the NaN that 0 / 0 yields on this processor).

#include <string>

namespace sonavex {

/// `format` holds exactly one floating-point conversion, e.g. "%.2f" or "%8.2f".
std::string formatNumber(const char* format, double value);

} // namespace sonavex
