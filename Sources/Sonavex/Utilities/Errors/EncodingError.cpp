#include "Sonavex/Utilities/Errors/EncodingError.h"

#include <cmath>

namespace sonavex {

EncodingError EncodingError::invalidValue(double value) {
    std::string shown = std::isnan(value) ? "Float.nan" : (value < 0 ? "-Float.infinity" : "Float.infinity");
    return EncodingError(Kind::invalidValue, "Unable to encode " + shown + " directly in JSON.");
}

} // namespace sonavex
