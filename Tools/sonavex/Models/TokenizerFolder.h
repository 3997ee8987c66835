#pragma once
// The engine's tokenizer from a folder holding tokenizer.json and tokenizer_config.json.

#include "Sonavex/Core/Tokenizer/WhisperTokenizerWrapper.h"

#include <memory>
#include <string>

namespace sonavex::tool {

/// Loads strictly and offline; the hub client's announcements go to standard error.
std::shared_ptr<WhisperTokenizerWrapper> loadTokenizerFolder(const std::string& folder);

} // namespace sonavex::tool
