#include "Platform/ML/Kernels/Attention/KeyValueCache.h"

#include "Platform/ML/Kernels/ThreadPool.h"

namespace ml::kernels {

void updateKeyValueCache(CacheColumns keyCache, CacheColumns valueCache, const uint16_t* keyUpdate,
                         const uint16_t* valueUpdate, size_t updateChannelStride, size_t updatePositionStride,
                         size_t channels, size_t count, size_t insertAt) {
    // A step copies a few thousand elements: spread over the pool only when it is large.
    const size_t tasks = channels * count >= (size_t(1) << 16) ? ThreadPool::shared().threadCount() : 1;
    ThreadPool::shared().parallelFor(tasks, [&](size_t task) {
        size_t c0, c1;
        partitionRange(channels, tasks, task, 1, c0, c1);
        for (size_t c = c0; c < c1; ++c)
            for (size_t j = 0; j < count; ++j) {
                const size_t source = c * updateChannelStride + j * updatePositionStride;
                keyCache.data[c * keyCache.channelStride + (insertAt + j) * keyCache.positionStride] =
                    keyUpdate[source];
                valueCache.data[c * valueCache.channelStride + (insertAt + j) * valueCache.positionStride] =
                    valueUpdate[source];
            }
    });
}

} // namespace ml::kernels
