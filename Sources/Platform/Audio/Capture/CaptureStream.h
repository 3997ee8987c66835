#pragma once
// One capture from one input device: delivers fixed-size blocks to its handler on a capture thread
// of its own until paused or stopped. Made by a CaptureSource; stopped when destroyed.
//
// Thread rules: start/pause/stop (and destruction) from any thread, the handler's included; the
// handler runs on the capture thread, and after pause() or stop() returns on another thread no block
// reaches it.

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace audio {

class CaptureStream {
public:
    /// One block: blockFrames × channels interleaved samples.
    using BlockHandler = std::function<void(const std::vector<float>& samples)>;

    virtual ~CaptureStream() = default;

    /// Starts capture, or resumes it after pause() without reopening the device. Throws when the
    /// device cannot be opened; nothing is left running then.
    virtual void start() = 0;
    /// Holds delivery; the device stays open and start() resumes it.
    virtual void pause() = 0;
    /// Ends capture and closes the device; no block arrives after it returns. start() opens it anew.
    virtual void stop() = 0;

    /// True between a successful start() and pause(), stop() or a failure of the device.
    virtual bool isRunning() const = 0;
    /// The source being recorded (the default's real name when none was named); empty before start().
    virtual std::string sourceName() const = 0;
    /// Why capture ended on its own, when it did.
    virtual std::optional<std::string> failure() const = 0;
};

} // namespace audio
