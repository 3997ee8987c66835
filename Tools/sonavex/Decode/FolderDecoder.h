#pragma once
// A model folder's "TextDecoder" model with the folder's tokenizer, for the commands that decode.

#include "Sonavex/Core/Decoding/TextDecoder.h"

#include <memory>
#include <string>

namespace sonavex::tool {

/// The decoder loaded on the processor, its tokenizer set and multilingual as the model's vocabulary and
/// width say. Throws the loading errors, or modelsUnavailable for a model without those sizes.
std::shared_ptr<TextDecoder> loadFolderDecoder(const std::string& folder);

} // namespace sonavex::tool
