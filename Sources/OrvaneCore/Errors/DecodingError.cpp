#include "OrvaneCore/Errors/DecodingError.h"

namespace orvane {

namespace {
std::string describe(DecodingError::Kind kind) {
    // The platform's wording for the two families of decoding failure.
    if (kind == DecodingError::Kind::keyNotFound || kind == DecodingError::Kind::valueNotFound) {
        return "The data couldn\u2019t be read because it is missing.";
    }
    return "The data couldn\u2019t be read because it isn\u2019t in the correct format.";
}
} // namespace

DecodingError::DecodingError(Kind kind, std::string debugDescription)
    : std::runtime_error(describe(kind)), kind_(kind), debugDescription_(std::move(debugDescription)) {}

} // namespace orvane
