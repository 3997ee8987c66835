#pragma once
// What a subtitle file should show of a result: cues with text only, all within the audio.

#include "Sonavex/Core/Results/TranscriptionResult.h"

#include <memory>

namespace sonavex::tool {

/// A copy of `result` without the segments and words whose text is empty or only white space (a segment
/// whose words all go keeps its own text), and with every start and end at most `audioSeconds`.
std::shared_ptr<TranscriptionResult> subtitleResult(const TranscriptionResult& result, double audioSeconds);

} // namespace sonavex::tool
