#include "Sonavex/Core/Decoding/DecodingInputs.h"

#include "OrvaneCore/Models/MultiArrayExtensions.h"

#include <algorithm>
#include <stdexcept>
#include <string>

namespace sonavex {

DecodingInputs::DecodingInputs(std::vector<int64_t> initialPrompt, std::shared_ptr<ml::MultiArray> inputIds,
                               std::shared_ptr<ml::MultiArray> cacheLength,
                               std::shared_ptr<ml::MultiArray> keyCache,
                               std::shared_ptr<ml::MultiArray> valueCache,
                               std::shared_ptr<ml::MultiArray> alignmentWeights,
                               std::shared_ptr<ml::MultiArray> kvCacheUpdateMask,
                               std::shared_ptr<ml::MultiArray> decoderKeyPaddingMask)
    : initialPrompt(std::move(initialPrompt)), inputIds(std::move(inputIds)),
      cacheLength(std::move(cacheLength)), keyCache(std::move(keyCache)), valueCache(std::move(valueCache)),
      alignmentWeights(std::move(alignmentWeights)), kvCacheUpdateMask(std::move(kvCacheUpdateMask)),
      decoderKeyPaddingMask(std::move(decoderKeyPaddingMask)) {}

std::shared_ptr<DecodingInputs> DecodingInputs::make(std::vector<int64_t> prompt, int64_t embedDim,
                                                     int64_t maxSequenceLength, int64_t windowSize) {
    using ml::MultiArrayDataType;
    for (int64_t size : {embedDim, maxSequenceLength, windowSize}) {
        if (size < 1) {
            throw std::invalid_argument("decoder sizes must be at least 1, got " + std::to_string(size));
        }
    }
    auto inputIds = orvane::makeMultiArray({1}, MultiArrayDataType::Int32, 0);
    auto cacheLength = orvane::makeMultiArray({1}, MultiArrayDataType::Int32, 0);
    auto keyCache =
        orvane::makeMultiArray({1, embedDim, 1, maxSequenceLength}, MultiArrayDataType::Float16, 0);
    auto valueCache =
        orvane::makeMultiArray({1, embedDim, 1, maxSequenceLength}, MultiArrayDataType::Float16, 0);
    auto alignmentWeights =
        orvane::makeMultiArray({maxSequenceLength, windowSize}, MultiArrayDataType::Float16, 0);
    auto kvCacheUpdateMask = orvane::makeMultiArray({1, maxSequenceLength}, MultiArrayDataType::Int32, 0);
    auto decoderKeyPaddingMask =
        orvane::makeMultiArray({1, maxSequenceLength}, MultiArrayDataType::Float16, hiddenPosition);
    kvCacheUpdateMask->setValue(0, 1);
    decoderKeyPaddingMask->setValue(0, 0);
    return std::make_shared<DecodingInputs>(std::move(prompt), std::move(inputIds), std::move(cacheLength),
                                            std::move(keyCache), std::move(valueCache),
                                            std::move(alignmentWeights), std::move(kvCacheUpdateMask),
                                            std::move(decoderKeyPaddingMask));
}

void DecodingInputs::reset(int64_t maxTokenContext) {
    const int64_t positions = std::min(kvCacheUpdateMask->count(), decoderKeyPaddingMask->count());
    if (maxTokenContext < 1 || maxTokenContext > positions) {
        throw std::out_of_range("reset(maxTokenContext: " + std::to_string(maxTokenContext) +
                                ") on decoder inputs of " + std::to_string(positions) + " positions");
    }
    cacheLength->setValue(0, 0);
    decoderKeyPaddingMask->setValue(0, 0);
    kvCacheUpdateMask->setValue(0, 1);
    for (int64_t position = 1; position < maxTokenContext; ++position) {
        decoderKeyPaddingMask->setValue(position, hiddenPosition);
        kvCacheUpdateMask->setValue(position, 0);
    }
}

} // namespace sonavex
