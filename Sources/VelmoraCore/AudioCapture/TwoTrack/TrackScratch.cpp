#include "VelmoraCore/AudioCapture/TwoTrack/TrackScratch.h"

#include <algorithm>
#include <new>

namespace velmora {

bool TrackScratch::ensure(int64_t frames, int systemChannels) {
    const int64_t needed = frames * std::max(1, systemChannels);
    // The microphone copy is checked too, so a caller that changes the channel count stays in bounds.
    if (capacity_ >= needed && int64_t(mic_.size()) >= frames && !mic_.empty() && !system_.empty()) {
        return true;
    }
    release();
    try {
        mic_.resize(size_t(frames));
        system_.resize(size_t(needed));
    } catch (const std::bad_alloc&) {
        release();
        return false;
    }
    capacity_ = needed;
    return true;
}

void TrackScratch::release() {
    std::vector<float>().swap(mic_);
    std::vector<float>().swap(system_);
    capacity_ = 0;
}

} // namespace velmora
