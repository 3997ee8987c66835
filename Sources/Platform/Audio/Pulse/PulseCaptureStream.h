#pragma once
// A capture on the sound server: a record stream read in blocks by a capture thread that hands each
// full block to the handler. Pausing corks the stream; stopping closes it.

#include "Platform/Audio/Capture/CaptureFormat.h"
#include "Platform/Audio/Capture/CaptureStream.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace audio {

class PulseRecordStream;

class PulseCaptureStream : public CaptureStream {
public:
    PulseCaptureStream(std::optional<std::string> sourceName, CaptureFormat format, BlockHandler handler);
    ~PulseCaptureStream() override;

    /// Throws PulseError when the server or the source is missing or refuses the stream.
    void start() override;
    void pause() override;
    void stop() override;

    bool isRunning() const override;
    std::string sourceName() const override;
    std::optional<std::string> failure() const override;

private:
    void capture(std::shared_ptr<PulseRecordStream> record);
    void closeLocked();
    void requireOffCaptureThread(const char* call) const;

    const std::optional<std::string> requestedSource_;
    const CaptureFormat format_;
    const BlockHandler handler_;

    // Guards the stream, the thread and the names; never held while the handler runs.
    mutable std::mutex lock_;
    std::shared_ptr<PulseRecordStream> record_;
    std::thread thread_;
    std::string sourceName_;
    bool paused_ = false;
    // Written by the capture thread, which must not wait for lock_ (stop() holds it while joining).
    mutable std::mutex failureLock_;
    std::optional<std::string> failure_;
    std::atomic<bool> failed_{false};
    std::atomic<std::thread::id> captureThread_{};
};

} // namespace audio
