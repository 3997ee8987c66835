#pragma once
// One decoder step's seven model inputs, assembled from the decoding state and the window's encoder output.

#include "Platform/ML/Values/MultiArray.h"
#include "Sonavex/Core/Decoding/TextDecoderInputType.h"

#include <memory>

namespace sonavex {

struct TextDecoderMLMultiArrayInputType : TextDecoderInputType {
    TextDecoderMLMultiArrayInputType(std::shared_ptr<ml::MultiArray> inputIds,
                                     std::shared_ptr<ml::MultiArray> cacheLength,
                                     std::shared_ptr<ml::MultiArray> keyCache,
                                     std::shared_ptr<ml::MultiArray> valueCache,
                                     std::shared_ptr<ml::MultiArray> kvCacheUpdateMask,
                                     std::shared_ptr<ml::MultiArray> encoderOutputEmbeds,
                                     std::shared_ptr<ml::MultiArray> decoderKeyPaddingMask)
        : inputIds(std::move(inputIds)), cacheLength(std::move(cacheLength)), keyCache(std::move(keyCache)),
          valueCache(std::move(valueCache)), kvCacheUpdateMask(std::move(kvCacheUpdateMask)),
          encoderOutputEmbeds(std::move(encoderOutputEmbeds)),
          decoderKeyPaddingMask(std::move(decoderKeyPaddingMask)) {}

    std::shared_ptr<ml::MultiArray> inputIds;
    std::shared_ptr<ml::MultiArray> cacheLength;
    std::shared_ptr<ml::MultiArray> keyCache;
    std::shared_ptr<ml::MultiArray> valueCache;
    std::shared_ptr<ml::MultiArray> kvCacheUpdateMask;
    std::shared_ptr<ml::MultiArray> encoderOutputEmbeds;
    std::shared_ptr<ml::MultiArray> decoderKeyPaddingMask;
};

} // namespace sonavex
