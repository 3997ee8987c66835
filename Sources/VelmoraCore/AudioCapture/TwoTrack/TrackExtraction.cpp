#include "VelmoraCore/AudioCapture/TwoTrack/TrackExtraction.h"

#include <algorithm>
#include <cmath>

namespace velmora {

namespace {

int64_t wholeFrames(const InputBuffer& buffer) {
    return int64_t(buffer.byteSize / sizeof(float)) / buffer.channels;
}

} // namespace

std::optional<int64_t> frameCount(InputBufferList buffers) {
    for (const auto& buffer : buffers) {
        if (buffer.channels != 0) {
            return wholeFrames(buffer);
        }
    }
    return std::nullopt;
}

void extract(int channel, InputBufferList buffers, int64_t frames, float* into) {
    if (frames < 1) {
        return;
    }
    int base = 0;
    for (const auto& buffer : buffers) {
        if (buffer.channels <= 0) {
            continue;
        }
        if (channel >= base && channel < base + buffer.channels) {
            if (buffer.data == nullptr) {
                break;
            }
            const int64_t copied = std::min(frames, wholeFrames(buffer));
            const int offset = channel - base;
            if (buffer.channels == 1) {
                std::copy(buffer.data, buffer.data + copied, into);
            } else {
                for (int64_t f = 0; f < copied; ++f) {
                    into[f] = buffer.data[f * buffer.channels + offset];
                }
            }
            std::fill(into + copied, into + frames, 0.0f);
            return;
        }
        base += buffer.channels;
    }
    std::fill(into, into + frames, 0.0f);
}

float rmsLevel(const float* samples, int64_t count) {
    if (count < 1) {
        return 0;
    }
    double sum = 0;
    for (int64_t i = 0; i < count; ++i) {
        sum += double(samples[i]) * samples[i];
    }
    return float(std::sqrt(sum / double(count)));
}

} // namespace velmora
