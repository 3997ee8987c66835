#pragma once
// Copies one decoder step's key and value columns into the long-lived caches: the caches and the
// step's updates are [1, E, 1, S] and [1, E, 1, n] half arrays addressed through their strides,
// and elements are copied as raw 2-byte values (no conversion).

#include <cstddef>
#include <cstdint>

namespace ml::kernels {

struct CacheColumns {
    uint16_t* data;
    size_t channelStride;  // stride of dimension 1
    size_t positionStride; // stride of dimension 3
};

/// For every channel c < channels and j < count: cache[c, insertAt + j] = update[c, j], for keys and
/// values in one pass. The value update is read with the key update's strides.
void updateKeyValueCache(CacheColumns keyCache, CacheColumns valueCache, const uint16_t* keyUpdate,
                         const uint16_t* valueUpdate, size_t updateChannelStride, size_t updatePositionStride,
                         size_t channels, size_t count, size_t insertAt);

} // namespace ml::kernels
