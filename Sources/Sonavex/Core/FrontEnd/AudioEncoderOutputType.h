#pragma once
// What the encoder stage hands to the text decoder (StageArray for the engine's own stages).

namespace sonavex {

class AudioEncoderOutputType {
public:
    virtual ~AudioEncoderOutputType() = default;
};

} // namespace sonavex
