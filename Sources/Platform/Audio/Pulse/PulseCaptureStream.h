#pragma once
// A capture on the sound server: a record stream read in blocks by a capture thread that hands each
// full block to the handler. Pausing corks the stream; stopping closes it. The capture thread keeps
// what it works with in a session of its own, so the stream may be paused, stopped or even destroyed
// from inside the handler: the thread then finishes the block it is on and ends by itself.
//
// Lock order: the capture thread holds the block's delivery lock while the handler runs, and the handler
// may take the control lock; so no control call waits for a block, or for the capture thread, while it
// holds the control lock. It changes the state under the lock and waits after releasing it.

#include "Platform/Audio/Capture/CaptureFormat.h"
#include "Platform/Audio/Capture/CaptureStream.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace audio {

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
    struct Session;
    // A session taken out of the stream under the control lock, with its thread. Declared before the
    // lock, it finishes the thread once the lock is released: joins it, or lets it end by itself when
    // this is that thread (the handler closed its own capture).
    struct Closing {
        std::shared_ptr<Session> session;
        std::thread thread;

        Closing() = default;
        Closing(Closing&&) = default;
        Closing& operator=(Closing&&) = default;
        ~Closing();
    };
    static void capture(const std::shared_ptr<Session>& session);
    /// Returns once the block in the handler (if any) is done; at once on the capture thread itself.
    static void waitForDelivery(Session& session);
    Closing closeLocked();
    std::shared_ptr<Session> currentSession() const;

    const std::optional<std::string> requestedSource_;
    const CaptureFormat format_;
    const BlockHandler handler_;

    // Serialises start, pause and stop; guards the thread. Never held while waiting for a block.
    std::mutex controlLock_;
    std::thread thread_;
    std::atomic<bool> paused_{false};

    // Guards the session pointer and the name for readers; never held while waiting for anything.
    mutable std::mutex infoLock_;
    std::shared_ptr<Session> session_;
    std::string sourceName_;
};

} // namespace audio
