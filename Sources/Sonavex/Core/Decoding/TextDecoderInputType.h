#pragma once
// What a text decoder's one-step prediction takes (TextDecoderMLMultiArrayInputType for the engine's own).

namespace sonavex {

class TextDecoderInputType {
public:
    virtual ~TextDecoderInputType() = default;
};

} // namespace sonavex
