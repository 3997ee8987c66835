#pragma once
// How the transcription task writes lists into its log lines.

#include "Sonavex/Core/Options/DecodingOptions.h"
#include "Sonavex/Core/Tokenizer/WhisperTokenizer.h"

#include <cstdint>
#include <string>
#include <vector>

namespace sonavex {

/// The prompt's token texts as ["<|startoftranscript|>", "<|en|>"]; an id without a text is "".
std::string promptDescription(const std::vector<int64_t>& prompt, const WhisperTokenizer& tokenizer);

/// The clips as [(start: 0, end: 480000), (start: …, end: …)].
std::string seekClipsDescription(const std::vector<SeekClip>& clips);

} // namespace sonavex
