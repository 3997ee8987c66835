#include "Platform/Audio/Capture/FakeCaptureSource.h"

#include <stdexcept>
#include <utility>

namespace audio {

std::vector<InputDevice> FakeCaptureSource::inputDevices() {
    std::lock_guard guard(lock_);
    if (deviceListFailure_) {
        throw std::runtime_error(*deviceListFailure_);
    }
    return devices_;
}

bool FakeCaptureSource::canRecord() {
    std::lock_guard guard(lock_);
    return canRecord_;
}

std::unique_ptr<CaptureStream> FakeCaptureSource::makeStream(std::optional<std::string> deviceName,
                                                             CaptureFormat format,
                                                             CaptureStream::BlockHandler handler) {
    auto state =
        std::make_shared<FakeCaptureStream::State>(std::move(deviceName), format, std::move(handler));
    std::lock_guard guard(lock_);
    if (auto failure = std::exchange(startFailure_, std::nullopt)) {
        state->failNextStart(*failure);
    }
    streams_.push_back(state);
    return std::make_unique<FakeCaptureStream>(state);
}

void FakeCaptureSource::setDevices(std::vector<InputDevice> devices) {
    std::lock_guard guard(lock_);
    devices_ = std::move(devices);
    deviceListFailure_.reset();
}

void FakeCaptureSource::failDeviceList(std::string message) {
    std::lock_guard guard(lock_);
    deviceListFailure_ = std::move(message);
}

void FakeCaptureSource::setCanRecord(bool canRecord) {
    std::lock_guard guard(lock_);
    canRecord_ = canRecord;
}

void FakeCaptureSource::failNextStart(std::string message) {
    std::lock_guard guard(lock_);
    startFailure_ = std::move(message);
}

std::vector<std::shared_ptr<FakeCaptureStream::State>> FakeCaptureSource::streams() const {
    std::lock_guard guard(lock_);
    return streams_;
}

std::shared_ptr<FakeCaptureStream::State> FakeCaptureSource::lastStream() const {
    std::lock_guard guard(lock_);
    return streams_.empty() ? nullptr : streams_.back();
}

bool FakeCaptureSource::deliver(const std::vector<float>& samples) {
    auto stream = lastStream();
    return stream != nullptr && stream->deliver(samples);
}

} // namespace audio
