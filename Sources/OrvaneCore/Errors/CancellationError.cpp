#include "OrvaneCore/Errors/CancellationError.h"

namespace orvane {

CancellationError::CancellationError() : std::runtime_error("The operation was cancelled.") {}

void throwIfCancelled(const std::stop_token& token) {
    if (token.stop_requested()) {
        throw CancellationError();
    }
}

} // namespace orvane
