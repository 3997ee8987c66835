#pragma once
// Whether a failed hub operation failed because the hub could not be reached at all (the host does not
// resolve, the connection is refused, drops or times out, no network): then a complete local copy may
// stand in for the repository. Any other failure (a status, a missing file, a damaged answer) is the
// hub's own answer and must not be papered over.

#include <exception>
#include <optional>
#include <string>

namespace orvane {

/// The transport's description when `error` is such a failure; nothing for any other error.
std::optional<std::string> hubUnreachableReason(const std::exception_ptr& error);

} // namespace orvane
