#pragma once
// Everything a watcher of live transcription sees: whether recording runs, the text of the pass in
// progress, and the segments split into confirmed ones (no later pass changes them) and the trailing
// guesses of the latest pass.

#include "Sonavex/Core/Results/TranscriptionSegment.h"

#include <cstdint>
#include <string>
#include <vector>

namespace sonavex {

struct AudioStreamTranscriberState {
    /// Live capture was started and not stopped; passes run while it is set.
    bool isRecording = false;
    /// The fallback count of the latest progress report.
    int currentFallbacks = 0;
    /// Recorded samples when the latest pass began.
    int64_t lastBufferSize = 0;
    /// Where the next pass starts decoding, in seconds from the start of recording.
    float lastConfirmedSegmentEndSeconds = 0;
    /// The relative energy of each captured buffer.
    std::vector<float> bufferEnergy;
    /// Text of the pass in progress, or "Waiting for speech...".
    std::string currentText;
    std::vector<TranscriptionSegment> confirmedSegments;
    std::vector<TranscriptionSegment> unconfirmedSegments;
    /// Earlier texts of the pass in progress that a shorter report replaced.
    std::vector<std::string> unconfirmedText;

    friend bool operator==(const AudioStreamTranscriberState&, const AudioStreamTranscriberState&) = default;
};

} // namespace sonavex
