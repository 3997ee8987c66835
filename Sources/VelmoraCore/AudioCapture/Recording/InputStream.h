#pragma once
// A running capture on one input device that hands each buffer to a handler, one at a time, in order,
// on one serial thread of its own (the sound server's loop thread for PulseAudio), and tells when it
// ends on its own. The microphone recorder opens its input through an InputStreamOpener, so tests can
// deliver buffers and end the capture by hand.

#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>

namespace velmora {

class InputStream {
public:
    /// One buffer as the device delivered it: interleaved 32-bit float samples, `bytes` long; `data`
    /// is null when the device lost that stretch.
    using BufferHandler = std::function<void(const void* data, size_t bytes)>;
    /// The capture ended by itself (the sound server or the input went, and no other input took its
    /// place): nothing more arrives. Called at most once, on the same serial thread, with a CAError
    /// that names the input and the reason. That thread may hold the sound server's lock: only note it.
    using EndHandler = std::function<void(std::exception_ptr error)>;

    virtual ~InputStream() = default;
    /// Ends the capture; no handler runs or begins after it returns. Idempotent; never fails.
    virtual void stop() = 0;
    /// How often the device dropped buffers that were not taken in time.
    virtual uint64_t overruns() const = 0;
};

/// Starts a capture on the device with this UID at the given rate and channel count. Throws CAError
/// when it cannot start (the sound server's opener names the device, the format, the failed call, its
/// status and the server's reason).
using InputStreamOpener = std::function<std::unique_ptr<InputStream>(
    const std::string& deviceUID, double sampleRate, int channels, InputStream::BufferHandler handler,
    InputStream::EndHandler onEnd)>;

/// The opener on the sound server: a record stream with fragments of about 20 ms that follows its input
/// to another input when the server moves it, and ends rather than record an output's monitor.
std::unique_ptr<InputStream> openPulseInputStream(const std::string& deviceUID, double sampleRate, int channels,
                                                  InputStream::BufferHandler handler, InputStream::EndHandler onEnd);

} // namespace velmora
