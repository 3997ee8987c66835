#pragma once
// One decoder step's result: the next position's logits and the step's cache updates (both absent when
// no model was loaded).

#include "Platform/ML/Values/MultiArray.h"
#include "Sonavex/Core/Decoding/TextDecoderOutputType.h"
#include "Sonavex/Core/DecodingCache.h"

#include <memory>
#include <optional>

namespace sonavex {

struct TextDecoderMLMultiArrayOutputType : TextDecoderOutputType {
    TextDecoderMLMultiArrayOutputType(std::shared_ptr<ml::MultiArray> logits,
                                      std::optional<DecodingCache> cache)
        : logits(std::move(logits)), cache(std::move(cache)) {}

    std::shared_ptr<ml::MultiArray> logits;
    std::optional<DecodingCache> cache;
};

} // namespace sonavex
