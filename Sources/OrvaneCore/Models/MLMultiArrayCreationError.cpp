#include "OrvaneCore/Models/MLMultiArrayCreationError.h"

namespace orvane {

MLMultiArrayCreationError::MLMultiArrayCreationError(Kind kind)
    : std::runtime_error("Failed to create IOSurface-backed pixel buffer for MLMultiArray"), kind_(kind) {}

} // namespace orvane
