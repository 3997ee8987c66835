#pragma once
// What the audio stage hands to the mel stage. The engine's own stages pass StageArray; a replaced stage
// may pass a type of its own to a replaced mel stage that knows it.

namespace sonavex {

class AudioProcessorOutputType {
public:
    virtual ~AudioProcessorOutputType() = default;
};

} // namespace sonavex
