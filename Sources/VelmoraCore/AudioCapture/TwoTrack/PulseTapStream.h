#pragma once
// The tap on the sound server: a record stream on the default output's monitor, which mixes what every
// application plays there while the user keeps hearing it. The one capture device built over the tap
// takes its fragments as they come; without one they are dropped.
//
// Thread rules: as audio::PulseCallbackRecordStream. The consumer runs on the loop thread (the loop's
// lock held) and is set under that lock, so once setConsumer() returns the old one no longer runs.

#include "VelmoraCore/AudioCapture/TwoTrack/TapFormat.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace audio {
class PulseCallbackRecordStream;
class PulseContext;
} // namespace audio

namespace velmora {

class PulseTapStream {
public:
    /// One fragment of interleaved float frames; `data` is null for a stretch the server dropped.
    using Consumer = std::function<void(const void* data, size_t bytes)>;

    /// Opens the monitor at its own rate and channel count. Throws audio::PulseError.
    PulseTapStream(std::shared_ptr<audio::PulseContext> context, const std::string& monitorName,
                   uint32_t sampleRate, uint32_t channels, const std::string& streamName);
    ~PulseTapStream();
    PulseTapStream(const PulseTapStream&) = delete;
    PulseTapStream& operator=(const PulseTapStream&) = delete;

    /// Replaces the consumer (an empty one drops the fragments).
    void setConsumer(Consumer consumer);

    const std::shared_ptr<audio::PulseContext>& context() const { return context_; }
    TapFormat format() const { return format_; }
    /// True once the stream ended on its own (its sink went away, the server was lost); the library's
    /// error number is then endError().
    bool hasEnded() const { return ended_; }
    int endError() const { return endError_; }

private:
    std::shared_ptr<audio::PulseContext> context_;
    TapFormat format_;
    Consumer consumer_;
    std::atomic<bool> ended_{false};
    std::atomic<int> endError_{0};
    // Last, so it stops (and no handler runs) before the rest goes.
    std::unique_ptr<audio::PulseCallbackRecordStream> stream_;
};

} // namespace velmora
