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

    /// These three may also be asked from the handler.
    bool isRunning() const override;
    std::string sourceName() const override;
    std::optional<std::string> failure() const override;

private:
    void capture(std::shared_ptr<PulseRecordStream> record);
    void closeLocked();
    void setDelivering(bool delivering);
    void requireOffCaptureThread(const char* call) const;

    const std::optional<std::string> requestedSource_;
    const CaptureFormat format_;
    const BlockHandler handler_;

    // Serialises start, pause and stop; guards the stream and the thread.
    std::mutex controlLock_;
    std::shared_ptr<PulseRecordStream> record_;
    std::thread thread_;
    std::atomic<bool> open_{false};
    std::atomic<bool> paused_{false};
    std::atomic<bool> failed_{false};
    std::atomic<std::thread::id> captureThread_{};

    // Held by the capture thread while it hands a block over, so pause() and stop() can wait for it.
    std::mutex deliveryLock_;
    bool delivering_ = false;

    // The answers for the handler's side; the capture thread writes the failure.
    mutable std::mutex infoLock_;
    std::string sourceName_;
    std::optional<std::string> failure_;
};

} // namespace audio
