#pragma once
// Inputs the decode actions share: token lists, arrays from ".npy" files, and a tokenizer's vocabulary size.

#include "Platform/ML/Values/MultiArray.h"
#include "Sonavex/Core/Tokenizer/WhisperTokenizer.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace sonavex::tool {

/// "ID,ID,..." as token ids (a usage error for a malformed one).
std::vector<int64_t> parseTokenList(const std::string& text, const std::string& name);

/// The array of a ".npy" file with half-float elements, converted from any other element type; a file that
/// cannot be read is std::runtime_error naming it.
std::shared_ptr<ml::MultiArray> readHalfArray(const std::string& path);

/// The model's vocabulary for this tokenizer: its ids (dense from 0) and the 1501 timestamps 0.00 ... 30.00
/// from timeTokenBegin on, which English-only tokenizer files do not list.
int64_t vocabularySize(const WhisperTokenizer& tokenizer);

} // namespace sonavex::tool
