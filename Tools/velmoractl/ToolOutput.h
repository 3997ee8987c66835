#pragma once
// velmoractl's shared conventions. Standard output carries results only, one compact JSON line each.
// A failure prints {"error": NAME, "message": DESCRIPTION} there and exits 1; bad arguments print the
// usage on standard error and exit 2; progress goes to standard error.

#include "JsonLine.h"

#include <exception>
#include <stdexcept>
#include <string>
#include <string_view>

namespace velmoractl {

constexpr int exitSuccess = 0;
constexpr int exitFailure = 1;
constexpr int exitUsage = 2;

/// Bad arguments: main() prints the message and the usage to standard error and exits 2.
struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

/// A failure of the tool's own making (an unreadable input file, say): NAME is "inputError".
struct InputError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

void printLine(const JsonObject& object);
void printLine(const JsonArray& array);

/// The error line for `error` (its description as the application shows it).
void printError(const std::exception& error);

/// One progress line on standard error.
void progress(std::string_view text);

} // namespace velmoractl
