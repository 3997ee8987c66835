#include "Platform/Audio/Pulse/PulseCaptureStream.h"

#include "Platform/Audio/Pulse/PulseContext.h"
#include "Platform/Audio/Pulse/PulseRecordStream.h"

#include <stdexcept>
#include <vector>

namespace audio {

// What the capture thread uses; it holds its own reference, so it outlives a stream stopped or
// destroyed from inside the handler.
struct PulseCaptureStream::Session {
    std::shared_ptr<PulseRecordStream> record;
    CaptureFormat format;
    BlockHandler handler;
    std::atomic<std::thread::id> threadId{};

    // Held by the capture thread while it hands a block over, so pause() from other threads can wait
    // for that block to be done. `delivering` is read under it and may change at any time.
    std::mutex deliveryLock;
    std::atomic<bool> delivering{true};

    std::atomic<bool> failed{false};
    std::mutex failureLock;
    std::optional<std::string> failure;

    bool onCaptureThread() const { return threadId.load() == std::this_thread::get_id(); }
};

PulseCaptureStream::PulseCaptureStream(std::optional<std::string> sourceName, CaptureFormat format,
                                       BlockHandler handler)
    : requestedSource_(std::move(sourceName)), format_(format), handler_(std::move(handler)) {
    if (format_.blockFrames == 0) {
        throw std::invalid_argument("a capture needs at least one frame per block");
    }
}

PulseCaptureStream::~PulseCaptureStream() {
    Closing closing;
    {
        std::lock_guard guard(controlLock_);
        closing = closeLocked();
    }
    // Joined here, while the members are alive: a handler still running may call in.
}

void PulseCaptureStream::start() {
    Closing failed;
    {
        std::lock_guard guard(controlLock_);
        auto session = currentSession();
        if (session != nullptr && session->failed) {
            // The stream died under us: open it afresh instead of resuming a dead one.
            failed = closeLocked();
            session.reset();
        }
        if (session != nullptr) {
            if (paused_) {
                session->record->setCorked(false);
                session->delivering = true;
                paused_ = false;
            }
            return;
        }
        PulseRecordStream::Options options;
        options.sourceName = requestedSource_;
        options.sampleRate = format_.sampleRate;
        options.channels = format_.channels;
        session = std::make_shared<Session>();
        session->record = std::make_shared<PulseRecordStream>(PulseContext::shared(), options);
        session->format = format_;
        session->handler = handler_;
        {
            std::lock_guard info(infoLock_);
            session_ = session;
            sourceName_ = session->record->sourceName();
        }
        paused_ = false;
        thread_ = std::thread([session] { capture(session); });
    }
}

void PulseCaptureStream::pause() {
    std::shared_ptr<Session> session;
    {
        std::lock_guard guard(controlLock_);
        session = currentSession();
        if (session == nullptr || session->failed) {
            return;
        }
        if (!paused_) {
            // Blocks the server already sent are dropped, so nothing reaches the handler after pause().
            session->delivering = false;
            paused_ = true;
            session->record->setCorked(true);
        }
    }
    // Also when the handler paused it just now: the block it is on is finished before this returns.
    waitForDelivery(*session);
}

void PulseCaptureStream::stop() {
    Closing closing;
    {
        std::lock_guard guard(controlLock_);
        closing = closeLocked();
    }
}

PulseCaptureStream::Closing PulseCaptureStream::closeLocked() {
    Closing closing;
    {
        std::lock_guard info(infoLock_);
        closing.session = std::move(session_);
    }
    paused_ = false;
    if (closing.session == nullptr) {
        return closing;
    }
    closing.session->delivering = false;
    closing.session->record->interrupt();
    closing.thread = std::move(thread_);
    return closing;
}

PulseCaptureStream::Closing::~Closing() {
    if (!thread.joinable()) {
        return;
    }
    if (session != nullptr && session->onCaptureThread()) {
        // Called from the handler: the thread ends by itself once the handler returns.
        thread.detach();
    } else {
        thread.join();
    }
}

std::shared_ptr<PulseCaptureStream::Session> PulseCaptureStream::currentSession() const {
    std::lock_guard info(infoLock_);
    return session_;
}

bool PulseCaptureStream::isRunning() const {
    auto session = currentSession();
    return session != nullptr && !paused_ && !session->failed;
}

std::string PulseCaptureStream::sourceName() const {
    std::lock_guard info(infoLock_);
    return sourceName_;
}

std::optional<std::string> PulseCaptureStream::failure() const {
    auto session = currentSession();
    if (session == nullptr) {
        return std::nullopt;
    }
    std::lock_guard guard(session->failureLock);
    return session->failure;
}

void PulseCaptureStream::capture(const std::shared_ptr<Session>& session) {
    session->threadId = std::this_thread::get_id();
    const CaptureFormat format = session->format;
    std::vector<float> block(size_t(format.blockFrames) * format.channels);
    try {
        while (session->record->read(block.data(), format.blockFrames) == format.blockFrames) {
            std::lock_guard delivery(session->deliveryLock);
            if (session->delivering && session->handler) {
                session->handler(block);
            }
        }
    } catch (const std::exception& error) {
        {
            std::lock_guard guard(session->failureLock);
            session->failure = error.what();
        }
        session->failed = true;
    }
}

void PulseCaptureStream::waitForDelivery(Session& session) {
    if (session.onCaptureThread()) {
        // Inside the handler this thread already holds the delivery lock.
        return;
    }
    std::lock_guard delivery(session.deliveryLock);
}

} // namespace audio
