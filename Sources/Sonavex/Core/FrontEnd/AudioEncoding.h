#pragma once
// The encoder stage: one window's mel features in, the encoder's embeddings out (what the text decoder
// attends to). Held through this interface, so a configuration can put a stage of its own in its place.

#include "Sonavex/Core/FrontEnd/AudioEncoderOutputType.h"
#include "Sonavex/Core/FrontEnd/FeatureExtractorOutputType.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <stop_token>

namespace sonavex {

class AudioEncoding {
public:
    virtual ~AudioEncoding() = default;

    /// Width of one embedding, when the stage knows it.
    virtual std::optional<int64_t> embedSize() const = 0;

    /// The window's embeddings, or null; blocking. Throws when `stopToken` is triggered before the work.
    virtual std::shared_ptr<AudioEncoderOutputType>
    encodeFeatures(const std::shared_ptr<FeatureExtractorOutputType>& features,
                   std::stop_token stopToken = {}) = 0;
};

} // namespace sonavex
