#include "Platform/Audio/Pulse/PulseCaptureStream.h"

#include "Platform/Audio/Pulse/PulseContext.h"
#include "Platform/Audio/Pulse/PulseRecordStream.h"

#include <stdexcept>
#include <vector>

namespace audio {

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
    requireOffCaptureThread("PulseCaptureStream::start");
    std::lock_guard guard(controlLock_);
    if (record_ != nullptr && failed_) {
        // The stream died under us: open it afresh instead of resuming a dead one.
        closeLocked();
    }
    if (record_ != nullptr) {
        if (paused_) {
            record_->setCorked(false);
            setDelivering(true);
            paused_ = false;
        }
        return;
    }
    PulseRecordStream::Options options;
    options.sourceName = requestedSource_;
    options.sampleRate = format_.sampleRate;
    options.channels = format_.channels;
    auto record = std::make_shared<PulseRecordStream>(PulseContext::shared(), options);
    {
        std::lock_guard info(infoLock_);
        sourceName_ = record->sourceName();
        failure_.reset();
    }
    record_ = record;
    failed_ = false;
    paused_ = false;
    open_ = true;
    setDelivering(true);
    thread_ = std::thread([this, record] { capture(record); });
}

void PulseCaptureStream::pause() {
    requireOffCaptureThread("PulseCaptureStream::pause");
    std::lock_guard guard(controlLock_);
    if (record_ == nullptr || paused_ || failed_) {
        return;
    }
    // Blocks the server already sent are dropped, so nothing reaches the handler after pause().
    setDelivering(false);
    paused_ = true;
    record_->setCorked(true);
}

void PulseCaptureStream::stop() {
    requireOffCaptureThread("PulseCaptureStream::stop");
    std::lock_guard guard(controlLock_);
    closeLocked();
}

void PulseCaptureStream::closeLocked() {
    if (record_ == nullptr) {
        return;
    }
    setDelivering(false);
    record_->interrupt();
    if (thread_.joinable()) {
        thread_.join();
    }
    captureThread_ = std::thread::id();
    record_.reset();
    open_ = false;
    paused_ = false;
}

bool PulseCaptureStream::isRunning() const {
    return open_ && !paused_ && !failed_;
}

std::string PulseCaptureStream::sourceName() const {
    std::lock_guard info(infoLock_);
    return sourceName_;
}

std::optional<std::string> PulseCaptureStream::failure() const {
    std::lock_guard info(infoLock_);
    return failure_;
}

void PulseCaptureStream::capture(std::shared_ptr<PulseRecordStream> record) {
    captureThread_ = std::this_thread::get_id();
    std::vector<float> block(size_t(format_.blockFrames) * format_.channels);
    try {
        while (record->read(block.data(), format_.blockFrames) == format_.blockFrames) {
            std::lock_guard delivery(deliveryLock_);
            if (delivering_ && handler_) {
                handler_(block);
            }
        }
    } catch (const std::exception& error) {
        {
            std::lock_guard info(infoLock_);
            failure_ = error.what();
        }
        failed_ = true;
    }
}

void PulseCaptureStream::setDelivering(bool delivering) {
    // Waits for a block being handled, so the change holds for every later block.
    std::lock_guard delivery(deliveryLock_);
    delivering_ = delivering;
}

void PulseCaptureStream::requireOffCaptureThread(const char* call) const {
    if (captureThread_.load() == std::this_thread::get_id()) {
        throw std::logic_error(std::string(call) + " called from its own capture thread");
    }
}

} // namespace audio
