#pragma once
// The two raw tracks of a recording as the capture writes them, for the benchmarks that process one: the
// microphone's mono 48 kHz CAF and the system's stereo 48 kHz fragmented MP4, filled with a speech-like
// test signal. Every Benchmarks/*.cpp is its own program, so this stays header-only.

#include "Platform/Audio/Files/CafWriter.h"

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <vector>

namespace benchsupport {

constexpr int kCaptureRate = 48000;
constexpr int kCaptureBlock = 480; // 10 ms, the capture callbacks' size

/// Speech-like test signal: tones that come and go plus a little noise, different per channel.
class Signal {
public:
    explicit Signal(int channel) : channel_(channel), noise_(uint32_t(12345 + channel)) {}
    void fill(float* out, int frames) {
        for (int i = 0; i < frames; ++i, ++t_) {
            const double s = double(t_) / kCaptureRate;
            const double envelope = 0.5 + 0.5 * std::sin(2 * M_PI * (0.7 + 0.2 * channel_) * s);
            const double tone = std::sin(2 * M_PI * (180 + 40 * channel_ + 60 * std::sin(s)) * s) +
                                0.3 * std::sin(2 * M_PI * 1100 * s);
            noise_ = noise_ * 1664525u + 1013904223u;
            out[i] = float(0.2 * envelope * tone + 0.01 * (double(noise_ >> 8) / double(1 << 24) - 0.5));
        }
    }

private:
    int channel_;
    uint32_t noise_;
    int64_t t_ = 0;
};

inline void writeMicrophoneTrack(const std::filesystem::path& path, double seconds) {
    audio::CafWriter writer(path, kCaptureRate, 1);
    Signal signal(0);
    std::vector<float> block(kCaptureBlock);
    const float* planes[] = {block.data()};
    for (int64_t done = 0, total = int64_t(seconds * kCaptureRate); done < total; done += kCaptureBlock) {
        signal.fill(block.data(), kCaptureBlock);
        writer.write(planes, kCaptureBlock);
    }
    writer.close();
}

/// Into a streaming or a synchronous AAC writer (the caller opens and closes it).
template <class Writer> void writeSystemTrack(Writer& writer, double seconds) {
    Signal left(1), right(2);
    std::vector<float> l(kCaptureBlock), r(kCaptureBlock);
    const float* planes[] = {l.data(), r.data()};
    for (int64_t done = 0, total = int64_t(seconds * kCaptureRate); done < total; done += kCaptureBlock) {
        left.fill(l.data(), kCaptureBlock);
        right.fill(r.data(), kCaptureBlock);
        writer.write(planes, kCaptureBlock);
    }
}

} // namespace benchsupport
