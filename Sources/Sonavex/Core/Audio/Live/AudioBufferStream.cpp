#include "Sonavex/Core/Audio/Live/AudioBufferStream.h"

#include "OrvaneCore/Errors/CancellationError.h"

namespace sonavex {

struct AudioBufferStream::State {
    // A buffer, or the error that ends the stream.
    using Item = std::variant<Buffer, std::exception_ptr>;

    orvane::Channel<Item> channel;
    std::mutex lock;
    std::function<void()> onTermination;
    bool terminated = false;
};

bool AudioBufferStream::Continuation::yield(Buffer buffer) const {
    return state_->channel.push(std::move(buffer));
}

void AudioBufferStream::Continuation::finish() const {
    state_->channel.close();
    terminate(*state_);
}

void AudioBufferStream::Continuation::finish(std::exception_ptr error) const {
    if (state_->channel.push(std::move(error))) {
        state_->channel.close();
    }
    terminate(*state_);
}

void AudioBufferStream::Continuation::setOnTermination(std::function<void()> handler) const {
    {
        std::lock_guard guard(state_->lock);
        if (!state_->terminated) {
            state_->onTermination = std::move(handler);
            return;
        }
    }
    if (handler) {
        handler();
    }
}

std::pair<AudioBufferStream, AudioBufferStream::Continuation> AudioBufferStream::make() {
    auto state = std::make_shared<State>();
    return {AudioBufferStream(state), Continuation(state)};
}

AudioBufferStream& AudioBufferStream::operator=(AudioBufferStream&& other) noexcept {
    if (this != &other) {
        if (state_ != nullptr) {
            state_->channel.close();
            terminate(*state_);
        }
        state_ = std::move(other.state_);
    }
    return *this;
}

AudioBufferStream::~AudioBufferStream() {
    if (state_ != nullptr) {
        state_->channel.close();
        terminate(*state_);
    }
}

std::optional<AudioBufferStream::Buffer> AudioBufferStream::next(std::stop_token token) {
    std::optional<State::Item> item;
    try {
        item = state_->channel.pop(token);
    } catch (const orvane::CancellationError&) {
        state_->channel.close();
        terminate(*state_);
        throw;
    }
    if (!item) {
        return std::nullopt;
    }
    if (auto* error = std::get_if<std::exception_ptr>(&*item)) {
        std::rethrow_exception(*error);
    }
    return std::get<Buffer>(std::move(*item));
}

void AudioBufferStream::terminate(State& state) {
    std::function<void()> handler;
    {
        std::lock_guard guard(state.lock);
        if (state.terminated) {
            return;
        }
        state.terminated = true;
        handler = std::move(state.onTermination);
    }
    // Outside the lock: the handler may stop a capture that is yielding into this stream.
    if (handler) {
        handler();
    }
}

} // namespace sonavex
