#pragma once
// What a text decoder's one-step prediction gives (TextDecoderMLMultiArrayOutputType for the engine's own).

namespace sonavex {

class TextDecoderOutputType {
public:
    virtual ~TextDecoderOutputType() = default;
};

} // namespace sonavex
