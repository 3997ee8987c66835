// The per-step copies into the decoding state: one cache column of keys and values, one row of alignment
// weights, straight between the arrays' buffers as raw half floats. Every size is checked before the
// first write, since the model's outputs and the state come from different places.

#include "Sonavex/Core/Decoding/TextDecoding.h"
#include "Sonavex/Utilities/Errors/WhisperError.h"

#include <cstdint>
#include <cstring>
#include <string>

namespace sonavex {

namespace {

void requireHalf(const ml::MultiArray& array, const char* what) {
    if (array.dataType() != ml::MultiArrayDataType::Float16) {
        throw WhisperError::decodingFailed(std::string(what) + " must hold half floats, not " +
                                           ml::dataTypeName(array.dataType()));
    }
}

[[noreturn]] void mismatch(const std::string& what, const ml::MultiArray& slice, const ml::MultiArray& tensor,
                           int64_t insertAtIndex) {
    throw WhisperError::decodingFailed(what + " " + ml::shapeDescription(slice.shape()) + " does not fit " +
                                       ml::shapeDescription(tensor.shape()) + " at position " +
                                       std::to_string(insertAtIndex));
}

} // namespace

void TextDecoding::updateKVCache(ml::MultiArray& keyTensor, const ml::MultiArray& keySlice,
                                 ml::MultiArray& valueTensor, const ml::MultiArray& valueSlice,
                                 int64_t insertAtIndex) const {
    requireHalf(keyTensor, "The key cache");
    requireHalf(keySlice, "The key cache update");
    requireHalf(valueTensor, "The value cache");
    requireHalf(valueSlice, "The value cache update");
    if (keyTensor.shape().size() != 4 || keySlice.shape().size() != 4 ||
        valueTensor.shape() != keyTensor.shape() || valueSlice.shape() != keySlice.shape() ||
        keySlice.shape()[1] != keyTensor.shape()[1] || keyTensor.shape()[0] != 1 ||
        keyTensor.shape()[2] != 1 || keySlice.shape()[0] != 1 || keySlice.shape()[2] != 1 ||
        insertAtIndex < 0 || insertAtIndex > keyTensor.shape()[3] - keySlice.shape()[3]) {
        mismatch("The cache update", keySlice, keyTensor, insertAtIndex);
    }
    const int64_t channels = keyTensor.shape()[1];
    const int64_t positions = keySlice.shape()[3];
    const int64_t sliceChannelStride = keySlice.strides()[1];
    const int64_t slicePositionStride = keySlice.strides()[3];
    const int64_t keyChannelStride = keyTensor.strides()[1];
    const int64_t keyPositionStride = keyTensor.strides()[3];
    const int64_t valueChannelStride = valueTensor.strides()[1];
    const int64_t valuePositionStride = valueTensor.strides()[3];
    auto* keys = static_cast<uint16_t*>(keyTensor.data());
    auto* values = static_cast<uint16_t*>(valueTensor.data());
    const auto* newKeys = static_cast<const uint16_t*>(keySlice.data());
    const auto* newValues = static_cast<const uint16_t*>(valueSlice.data());
    // A step brings one column of E channels: far too little work to be worth spreading over threads.
    for (int64_t channel = 0; channel < channels; ++channel) {
        for (int64_t position = 0; position < positions; ++position) {
            const int64_t source = channel * sliceChannelStride + position * slicePositionStride;
            const int64_t column = insertAtIndex + position;
            keys[channel * keyChannelStride + column * keyPositionStride] = newKeys[source];
            values[channel * valueChannelStride + column * valuePositionStride] = newValues[source];
        }
    }
}

void TextDecoding::updateAlignmentWeights(ml::MultiArray& alignmentTensor,
                                          const ml::MultiArray& alignmentSlice, int64_t insertAtIndex) {
    requireHalf(alignmentTensor, "The alignment weights");
    requireHalf(alignmentSlice, "The alignment weights update");
    if (alignmentTensor.shape().size() != 2 || alignmentSlice.shape().size() != 2 ||
        alignmentSlice.shape()[0] < 1 || alignmentSlice.shape()[1] != alignmentTensor.shape()[1] ||
        insertAtIndex < 0 || insertAtIndex >= alignmentTensor.shape()[0] - 1) {
        mismatch("The alignment weights update", alignmentSlice, alignmentTensor, insertAtIndex);
    }
    const int64_t frames = alignmentTensor.shape()[1];
    const int64_t sliceStride = alignmentSlice.strides()[1];
    const int64_t rowStride = alignmentTensor.strides()[0];
    const int64_t frameStride = alignmentTensor.strides()[1];
    auto* weights = static_cast<uint16_t*>(alignmentTensor.data());
    const auto* newWeights = static_cast<const uint16_t*>(alignmentSlice.data());
    for (int64_t frame = 0; frame < frames; ++frame) {
        weights[(insertAtIndex + 1) * rowStride + frame * frameStride] = newWeights[frame * sliceStride];
    }
}

} // namespace sonavex
