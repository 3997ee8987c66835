#pragma once
// Numbers and lists given on the command line. A malformed one is a usage error naming the argument.

#include <cstdint>
#include <string>
#include <vector>

namespace sonavex::tool {

/// A whole decimal number in the signed 64-bit range.
int64_t parseIntArgument(const std::string& text, const std::string& name);
/// A decimal number as a 32-bit float; "inf", "-inf" and "nan" are accepted.
float parseFloatArgument(const std::string& text, const std::string& name);
/// The same as a 64-bit float.
double parseDoubleArgument(const std::string& text, const std::string& name);
/// The comma-separated items of `text` (empty items refused).
std::vector<std::string> splitList(const std::string& text, const std::string& name);

} // namespace sonavex::tool
