#pragma once
// The two copies one delivery is split into: the microphone channel, and the system channels one after
// another (channel c at offset c × frames). Reused from one delivery to the next; grown only when a
// delivery brings more than any before. Used by one thread at a time.

#include <cstdint>
#include <vector>

namespace velmora {

class TrackScratch {
public:
    /// Makes room for `frames` frames of the microphone and of `systemChannels` system channels (at
    /// least one). False when the memory cannot be had: both copies are then gone.
    bool ensure(int64_t frames, int systemChannels);
    /// Frees both copies.
    void release();

    float* mic() { return mic_.data(); }
    float* system() { return system_.data(); }
    /// Floats the system copy holds (0 after release()).
    int64_t capacity() const { return capacity_; }

private:
    std::vector<float> mic_;
    std::vector<float> system_;
    int64_t capacity_ = 0;
};

} // namespace velmora
