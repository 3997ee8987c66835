#pragma once
// A loaded speech engine, as the transcriber uses it: 16 kHz mono samples in, results out.

#include "Sonavex/Core/Options/DecodingOptions.h"
#include "Sonavex/Core/Results/TranscriptionResult.h"

#include <memory>
#include <span>
#include <stop_token>
#include <vector>

namespace velmora {

class SpeechPipeline {
public:
    virtual ~SpeechPipeline() = default;

    /// Transcribes `audioArray` with `decodeOptions`, without progress or segment callbacks; one result
    /// when the options ask for no chunking. Throws the engine's errors, and orvane::CancellationError once
    /// `stop` is requested.
    virtual std::vector<std::shared_ptr<sonavex::TranscriptionResult>>
    transcribe(std::span<const float> audioArray, const sonavex::DecodingOptions& decodeOptions,
               std::stop_token stop) = 0;
};

} // namespace velmora
