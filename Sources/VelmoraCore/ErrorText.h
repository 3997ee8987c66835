#pragma once
// How any error caught by the application core is shown: the description the panel prints and the
// default textual form the model set-up shows. Application errors and the engine's errors answer with
// their own; other exceptions (file system and the like) with what().

#include <exception>
#include <string>
#include <string_view>

namespace velmora {

std::string errorDescription(const std::exception& error);
std::string errorTextualForm(const std::exception& error);

/// The same for an error caught by `catch (...)`; an exception of no std type is "unknown error".
std::string errorDescription(const std::exception_ptr& error);
std::string errorTextualForm(const std::exception_ptr& error);

/// The short name tools print for an error: the case name of an application or engine error, else a
/// name for its kind ("fileSystemError", "error").
std::string errorName(const std::exception& error);

/// `text` as a quoted string literal: backslash, quotation mark, NUL, tab, line feed and carriage
/// return escaped, other control characters as \u{…}; everything else, non-ASCII included, as it is.
std::string quotedLiteral(std::string_view text);

} // namespace velmora
