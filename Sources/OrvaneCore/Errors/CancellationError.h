#pragma once
// The error every long, cancellable call throws when its std::stop_token is triggered.
// Long calls across the system take a std::stop_token and check it between steps.

#include <stdexcept>
#include <stop_token>

namespace orvane {

class CancellationError : public std::runtime_error {
public:
    CancellationError();
};

/// Throws CancellationError when a stop has been requested on `token`.
void throwIfCancelled(const std::stop_token& token);

} // namespace orvane
