#pragma once
// The record types `sonavex json` knows: how each decodes a document and encodes itself again.

#include "CommandLine/JsonLines.h"

#include <functional>
#include <string>

namespace sonavex::tool {

struct JsonRecordType {
    /// Decodes the document as the record (throwing the record's decoding error) and encodes the record.
    std::function<Json(const Json&)> roundTrip;
    /// The encoding of the default value; empty for types that have none.
    std::function<Json()> defaultValue;
};

/// Null for a name that is no record type.
const JsonRecordType* findJsonRecordType(const std::string& name);

} // namespace sonavex::tool
