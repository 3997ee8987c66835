#include "Sonavex/Utilities/Formats/NumberFormat.h"

#include <cmath>
#include <cstdio>
#include <vector>

namespace sonavex {

std::string formatNumber(const char* format, double value) {
    if (std::isnan(value)) {
        value = std::fabs(value);
    }
    int length = std::snprintf(nullptr, 0, format, value);
    if (length < 0) {
        return {};
    }
    std::vector<char> buffer(static_cast<size_t>(length) + 1);
    std::snprintf(buffer.data(), buffer.size(), format, value);
    return std::string(buffer.data(), static_cast<size_t>(length));
}

} // namespace sonavex
