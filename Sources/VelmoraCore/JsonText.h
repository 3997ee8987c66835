#pragma once
// The small pieces of JSON text the application core writes by hand, where a general JSON library
// would write numbers or escapes differently from the files and lines we promise: numbers in the
// shortest decimal form of their width without a trailing ".0" (0.02 stays 0.02, 3.0 is 3), strings
// with non-ASCII characters as they are.

#include <string>
#include <string_view>

namespace velmora::json {

enum class Slash { asIs, escaped };

/// Appends `text` as a JSON string: quotation mark, backslash, the usual control escapes (\b \f \n \r
/// \t), other control characters as \u00xx, and "/" as "\/" when asked.
void appendString(std::string& out, std::string_view text, Slash slash = Slash::asIs);
std::string string(std::string_view text, Slash slash = Slash::asIs);

/// Finite values only (JSON has no form for the others): decimal from 1e-4 up to the largest exactly
/// representable integer of the width, exponent form outside it ("1e-05", "1e+16").
std::string number(double value);
std::string number(float value);

} // namespace velmora::json
