#pragma once
// The mel stage: one window of 16 kHz mono samples in, its log-mel features out. The engine holds it
// through this interface, so a configuration can put a stage of its own in the engine's place.

#include "Sonavex/Core/Audio/AudioProcessorOutputType.h"
#include "Sonavex/Core/FrontEnd/FeatureExtractorOutputType.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <stop_token>

namespace sonavex {

class FeatureExtracting {
public:
    virtual ~FeatureExtracting() = default;

    /// Mel bands per frame, when the stage knows it.
    virtual std::optional<int64_t> melCount() const = 0;
    /// Samples of one window, when the stage knows it (callers use Constants::defaultWindowSamples else).
    virtual std::optional<int64_t> windowSamples() const = 0;

    /// The window's features, or null; blocking. Throws when `stopToken` is triggered before the work.
    virtual std::shared_ptr<FeatureExtractorOutputType>
    logMelSpectrogram(const std::shared_ptr<AudioProcessorOutputType>& fromAudio,
                      std::stop_token stopToken = {}) = 0;
};

} // namespace sonavex
