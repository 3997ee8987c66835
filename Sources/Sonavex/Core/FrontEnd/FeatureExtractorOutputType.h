#pragma once
// What the mel stage hands to the encoder stage (StageArray for the engine's own stages).

namespace sonavex {

class FeatureExtractorOutputType {
public:
    virtual ~FeatureExtractorOutputType() = default;
};

} // namespace sonavex
