#pragma once
// What a subtitle file should show of a result: cues with text only, all within the audio.

#include "Sonavex/Core/Results/TranscriptionResult.h"

#include <memory>
#include <optional>

namespace sonavex::tool {

/// A copy of `result` whose segment and word texts lack the special-token markers ("<|…|>"), as the
/// decoder gives them when told to skip special tokens.
std::shared_ptr<TranscriptionResult> withoutSpecialTokens(const TranscriptionResult& result);

/// A copy of `result` without the segments and words whose text is empty or only white space (a segment
/// whose words all go keeps its own text). Given the audio's length, also without those that start at or
/// after its end (they would show for no time), and with every other end at most that length.
std::shared_ptr<TranscriptionResult> subtitleResult(const TranscriptionResult& result,
                                                    std::optional<double> audioSeconds);

} // namespace sonavex::tool
