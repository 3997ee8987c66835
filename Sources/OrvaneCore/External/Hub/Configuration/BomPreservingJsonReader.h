#pragma once
// Reads JSON documents (configuration files, tokenizer files) into Config values by the configuration
// rules of ConfigJson.h, keeping a byte-order mark that begins a string value: tokenizer vocabularies
// hold tokens made of U+FEFF, and losing it would change the token.

#include "OrvaneCore/External/Hub/Configuration/Config.h"

#include <stdexcept>
#include <string_view>

namespace orvane {

class BomPreservingJsonReader {
public:
    /// The document is not JSON (or holds a number no value can carry, such as 1e400); what() says
    /// what was wrong and where.
    class ParseError : public std::runtime_error {
    public:
        using std::runtime_error::runtime_error;
    };

    /// Parses `data` (UTF-8). A mark before the first value is skipped; any top-level value is accepted,
    /// so callers that need an object check the result's kind. Throws ParseError.
    static Config bomPreservingJsonObject(std::string_view data);
};

} // namespace orvane
