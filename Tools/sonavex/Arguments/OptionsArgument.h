#pragma once
// `--options O`: decoding options from a JSON object, given as a file or as text starting with "{". Unlike
// decoding a stored document, this goes through the initializer: keys left out take its defaults
// (detectLanguage follows usePrefillPrompt), and an optional key given as null holds no value.

#include "Sonavex/Core/Options/DecodingOptions.h"

#include <string>

namespace sonavex::tool {

/// Throws orvane::DecodingError for malformed JSON or a mistyped key, std::invalid_argument for a key
/// that names no option. Keys left out keep their value in `start`.
DecodingOptions decodingOptionsFromArgument(const std::string& argument,
                                            DecodingOptions::Arguments start = DecodingOptions::Arguments());

} // namespace sonavex::tool
