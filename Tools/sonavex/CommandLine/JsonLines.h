#pragma once
// Standard output of the tool: one compact JSON object per line, keys in the order they were set. Numbers
// print in the shortest form of their width (records hand 32-bit floats over already shortened);
// non-finite numbers, which JSON cannot hold, print as the strings "inf", "-inf" and "nan".

#include "Sonavex/Utilities/Formats/JsonCoding.h"

#include <exception>
#include <string>

namespace sonavex::tool {

using Json = sonavex::json::Json;

/// The document with every non-finite number replaced by its text.
Json withNonFiniteAsText(const Json& document);

/// Writes the document as one line to standard output and flushes it.
void printJsonLine(const Json& document);

/// The name and message of an error line: a WhisperError's case, else the error type's own name
/// (without namespaces); a decoding error's message is its detailed description.
struct ErrorText {
    std::string name;
    std::string message;
};
ErrorText describeError(std::exception_ptr error);

/// {"error": NAME, "message": TEXT}, then `extra`'s members (e.g. the "file" an error belongs to).
Json errorLine(std::exception_ptr error, const Json& extra = Json::object());

} // namespace sonavex::tool
