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

    // Held by the capture thread while it hands a block over, so pause() and stop() from other
    // threads can wait for that block to be done.
    std::mutex deliveryLock;
    bool delivering = true;

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
    std::lock_guard guard(controlLock_);
    closeLocked();
}

void PulseCaptureStream::start() {
    std::lock_guard guard(controlLock_);
    auto session = currentSession();
    if (session != nullptr && session->failed) {
        // The stream died under us: open it afresh instead of resuming a dead one.
        closeLocked();
        session.reset();
    }
    if (session != nullptr) {
        if (paused_) {
            session->record->setCorked(false);
            setDelivering(*session, true);
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

void PulseCaptureStream::pause() {
    std::lock_guard guard(controlLock_);
    auto session = currentSession();
    if (session == nullptr || paused_ || session->failed) {
        return;
    }
    // Blocks the server already sent are dropped, so nothing reaches the handler after pause().
    setDelivering(*session, false);
    paused_ = true;
    session->record->setCorked(true);
}

void PulseCaptureStream::stop() {
    std::lock_guard guard(controlLock_);
    closeLocked();
}

void PulseCaptureStream::closeLocked() {
    std::shared_ptr<Session> session;
    {
        std::lock_guard info(infoLock_);
        session = std::move(session_);
    }
    if (session == nullptr) {
        return;
    }
    setDelivering(*session, false);
    session->record->interrupt();
    if (thread_.joinable()) {
        if (session->onCaptureThread()) {
            // Called from the handler: the thread ends by itself once the handler returns.
            thread_.detach();
        } else {
            thread_.join();
        }
    }
    paused_ = false;
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

void PulseCaptureStream::setDelivering(Session& session, bool delivering) {
    if (session.onCaptureThread()) {
        // Inside the handler this thread already holds the delivery lock.
        session.delivering = delivering;
        return;
    }
    // Waits for a block being handled, so the change holds for every later block.
    std::lock_guard delivery(session.deliveryLock);
    session.delivering = delivering;
}

} // namespace audio
