#pragma once
// The coarse state the engine reports while it transcribes a file.

#include <functional>
#include <string_view>

namespace sonavex {

enum class TranscriptionState { convertingAudio, transcribing, finished };

/// "Converting Audio", "Transcribing", "Finished".
std::string_view description(TranscriptionState state);

using TranscriptionStateCallback = std::function<void(TranscriptionState)>;

} // namespace sonavex
