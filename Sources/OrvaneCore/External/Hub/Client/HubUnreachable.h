#pragma once
// Whether a failed hub operation failed because the hub could not be reached at all (the host does not
// resolve, the connection is refused, drops or times out, no network): then a complete local copy may
// stand in for the repository. Any other failure (a status, a missing file, a damaged answer) is the
// hub's own answer and must not be papered over.

#include "OrvaneCore/External/Hub/Client/HubClientError.h"
#include "Platform/Net/UrlError.h"

#include <exception>
#include <optional>
#include <string>

namespace orvane {

/// The transport's code when `error` is such a failure (net::UrlError::description says it); nothing for
/// any other error.
std::optional<net::UrlError::Code> hubUnreachableCode(const std::exception_ptr& error);

/// The failure to report when the hub cannot be reached (`code`) and a local copy (`copy`, "the local
/// copy of …") cannot stand in for it, `gap` saying why: a network error with the same code, so that it
/// still counts as the hub being out of reach, whose text names both.
Hub::HubClientError unreachableWithoutStandIn(net::UrlError::Code code, const std::string& copy,
                                              const std::string& gap);

} // namespace orvane
