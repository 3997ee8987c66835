#pragma once
// A capture that records nothing: the test delivers blocks itself and reads how often the stream was
// started, paused and stopped (so "resume restarts the same stream" and "a new device opens a new
// stream" can be told apart).

#include "Platform/Audio/Capture/CaptureFormat.h"
#include "Platform/Audio/Capture/CaptureStream.h"

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace audio {

class FakeCaptureStream : public CaptureStream {
public:
    /// What the stream did, kept by the source too so a test can read it after the stream is gone.
    class State {
    public:
        State(std::optional<std::string> deviceName, CaptureFormat format, BlockHandler handler);

        int starts() const;
        int pauses() const;
        int stops() const;
        bool isRunning() const;
        bool isDestroyed() const;
        const std::optional<std::string>& deviceName() const { return deviceName_; }
        const CaptureFormat& format() const { return format_; }

        /// Hands one block to the handler, on the caller's thread, when the stream runs; else drops it.
        bool deliver(const std::vector<float>& samples);
        /// The next start() throws std::runtime_error with this text.
        void failNextStart(std::string message);

    private:
        friend class FakeCaptureStream;
        mutable std::mutex lock_;
        std::optional<std::string> deviceName_;
        CaptureFormat format_;
        BlockHandler handler_;
        int starts_ = 0;
        int pauses_ = 0;
        int stops_ = 0;
        bool running_ = false;
        bool destroyed_ = false;
        std::optional<std::string> startFailure_;
    };

    explicit FakeCaptureStream(std::shared_ptr<State> state);
    ~FakeCaptureStream() override;

    void start() override;
    void pause() override;
    void stop() override;
    bool isRunning() const override;
    std::string sourceName() const override;
    std::optional<std::string> failure() const override { return std::nullopt; }

private:
    std::shared_ptr<State> state_;
};

} // namespace audio
