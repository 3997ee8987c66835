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
    stop();
}

void PulseCaptureStream::start() {
    requireOffCaptureThread("PulseCaptureStream::start");
    std::lock_guard guard(lock_);
    if (record_ != nullptr && failed_) {
        // The stream died under us: open it afresh instead of resuming a dead one.
        closeLocked();
    }
    if (record_ != nullptr) {
        if (paused_) {
            record_->setCorked(false);
            paused_ = false;
        }
        return;
    }
    PulseRecordStream::Options options;
    options.sourceName = requestedSource_;
    options.sampleRate = format_.sampleRate;
    options.channels = format_.channels;
    auto record = std::make_shared<PulseRecordStream>(PulseContext::shared(), options);
    record_ = record;
    sourceName_ = record->sourceName();
    paused_ = false;
    failed_ = false;
    {
        std::lock_guard failureGuard(failureLock_);
        failure_.reset();
    }
    thread_ = std::thread([this, record] { capture(record); });
}

void PulseCaptureStream::pause() {
    requireOffCaptureThread("PulseCaptureStream::pause");
    std::lock_guard guard(lock_);
    if (record_ == nullptr || paused_ || failed_) {
        return;
    }
    record_->setCorked(true);
    paused_ = true;
}

void PulseCaptureStream::stop() {
    requireOffCaptureThread("PulseCaptureStream::stop");
    std::lock_guard guard(lock_);
    closeLocked();
}

void PulseCaptureStream::closeLocked() {
    if (record_ == nullptr) {
        return;
    }
    record_->interrupt();
    if (thread_.joinable()) {
        thread_.join();
    }
    record_.reset();
    paused_ = false;
}

bool PulseCaptureStream::isRunning() const {
    std::lock_guard guard(lock_);
    return record_ != nullptr && !paused_ && !failed_;
}

std::string PulseCaptureStream::sourceName() const {
    std::lock_guard guard(lock_);
    return sourceName_;
}

std::optional<std::string> PulseCaptureStream::failure() const {
    std::lock_guard guard(failureLock_);
    return failure_;
}

void PulseCaptureStream::capture(std::shared_ptr<PulseRecordStream> record) {
    captureThread_ = std::this_thread::get_id();
    std::vector<float> block(size_t(format_.blockFrames) * format_.channels);
    try {
        while (record->read(block.data(), format_.blockFrames) == format_.blockFrames) {
            if (handler_) {
                handler_(block);
            }
        }
    } catch (const std::exception& error) {
        {
            std::lock_guard guard(failureLock_);
            failure_ = error.what();
        }
        failed_ = true;
    }
}

void PulseCaptureStream::requireOffCaptureThread(const char* call) const {
    if (captureThread_.load() == std::this_thread::get_id()) {
        throw std::logic_error(std::string(call) + " called from its own capture thread");
    }
}

} // namespace audio
