#include "Platform/Audio/Capture/FakeCaptureStream.h"

#include <stdexcept>
#include <utility>

namespace audio {

FakeCaptureStream::State::State(std::optional<std::string> deviceName, CaptureFormat format,
                                BlockHandler handler)
    : deviceName_(std::move(deviceName)), format_(format), handler_(std::move(handler)) {}

int FakeCaptureStream::State::starts() const {
    std::lock_guard guard(lock_);
    return starts_;
}

int FakeCaptureStream::State::pauses() const {
    std::lock_guard guard(lock_);
    return pauses_;
}

int FakeCaptureStream::State::stops() const {
    std::lock_guard guard(lock_);
    return stops_;
}

bool FakeCaptureStream::State::isRunning() const {
    std::lock_guard guard(lock_);
    return running_;
}

bool FakeCaptureStream::State::isDestroyed() const {
    std::lock_guard guard(lock_);
    return destroyed_;
}

bool FakeCaptureStream::State::deliver(const std::vector<float>& samples) {
    BlockHandler handler;
    {
        std::lock_guard guard(lock_);
        if (!running_) {
            return false;
        }
        handler = handler_;
    }
    if (handler) {
        handler(samples);
    }
    return true;
}

void FakeCaptureStream::State::failNextStart(std::string message) {
    std::lock_guard guard(lock_);
    startFailure_ = std::move(message);
}

FakeCaptureStream::FakeCaptureStream(std::shared_ptr<State> state) : state_(std::move(state)) {}

FakeCaptureStream::~FakeCaptureStream() {
    std::lock_guard guard(state_->lock_);
    state_->running_ = false;
    state_->destroyed_ = true;
}

void FakeCaptureStream::start() {
    std::lock_guard guard(state_->lock_);
    if (auto failure = std::exchange(state_->startFailure_, std::nullopt)) {
        state_->running_ = false;
        throw std::runtime_error(*failure);
    }
    ++state_->starts_;
    state_->running_ = true;
}

void FakeCaptureStream::pause() {
    std::lock_guard guard(state_->lock_);
    ++state_->pauses_;
    state_->running_ = false;
}

void FakeCaptureStream::stop() {
    std::lock_guard guard(state_->lock_);
    ++state_->stops_;
    state_->running_ = false;
}

bool FakeCaptureStream::isRunning() const {
    return state_->isRunning();
}

std::string FakeCaptureStream::sourceName() const {
    return state_->deviceName_.value_or("default");
}

} // namespace audio
