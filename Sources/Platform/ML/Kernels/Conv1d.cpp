#include "Platform/ML/Kernels/Conv1d.h"

#include "Platform/ML/Kernels/Packed/PackedLinear.h"
#include "Platform/ML/Kernels/ThreadPool.h"

#include <stdexcept>
#include <vector>

namespace ml::kernels {

size_t conv1dOutputLength(size_t inLength, size_t stride) {
    if (stride == 0)
        throw std::invalid_argument("convolution stride must be at least 1");
    return inLength == 0 ? 0 : (inLength - 1) / stride + 1; // (L + 2 * pad - 3) / stride + 1, pad 1
}

void conv1d(const Conv1dArgs& a, float* output) {
    const size_t outLength = conv1dOutputLength(a.inLength, a.stride);
    const size_t columns = a.inChannels * 3;
    if (a.weight->in() != columns)
        throw std::invalid_argument("convolution weight does not match its input channels");
    std::vector<float> im2col(outLength * columns);
    ThreadPool::shared().parallelFor(outLength, [&](size_t t) {
        float* row = im2col.data() + t * columns;
        for (size_t c = 0; c < a.inChannels; ++c)
            for (size_t tap = 0; tap < 3; ++tap) {
                const long source = long(t * a.stride + tap) - 1;
                row[c * 3 + tap] = source < 0 || source >= long(a.inLength)
                                       ? 0.0f
                                       : a.input[c * a.channelStride + size_t(source) * a.timeStride];
            }
    });
    packedLinear(im2col.data(), outLength, *a.weight, a.bias, output, false,
                 a.gelu ? Epilogue::gelu : Epilogue::none);
}

} // namespace ml::kernels
