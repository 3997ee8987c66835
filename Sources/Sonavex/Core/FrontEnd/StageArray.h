#pragma once
// A model array on its way from one engine stage to the next: the one value the engine's own audio, mel
// and encoder stages exchange. It shares the array, so passing it on never copies the samples.

#include "Platform/ML/Values/MultiArray.h"
#include "Sonavex/Core/Audio/AudioProcessorOutputType.h"
#include "Sonavex/Core/FrontEnd/AudioEncoderOutputType.h"
#include "Sonavex/Core/FrontEnd/FeatureExtractorOutputType.h"

#include <memory>

namespace sonavex {

class StageArray final : public AudioProcessorOutputType,
                         public FeatureExtractorOutputType,
                         public AudioEncoderOutputType {
public:
    explicit StageArray(std::shared_ptr<ml::MultiArray> array) : array_(std::move(array)) {}

    /// A stage value around `array`; null for a null array (a stage result of nothing).
    static std::shared_ptr<StageArray> make(std::shared_ptr<ml::MultiArray> array) {
        return array ? std::make_shared<StageArray>(std::move(array)) : nullptr;
    }

    const std::shared_ptr<ml::MultiArray>& array() const { return array_; }

    /// The array inside a stage value, or null when the value is absent, of another type or empty-handed.
    template <class Marker> static std::shared_ptr<ml::MultiArray> arrayOf(const Marker* value) {
        const auto* stageArray = dynamic_cast<const StageArray*>(value);
        return stageArray ? stageArray->array_ : nullptr;
    }

private:
    std::shared_ptr<ml::MultiArray> array_;
};

} // namespace sonavex
