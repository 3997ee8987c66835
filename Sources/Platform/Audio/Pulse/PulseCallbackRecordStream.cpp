#include "Platform/Audio/Pulse/PulseCallbackRecordStream.h"

#include "Platform/Audio/Pulse/PulseContext.h"
#include "Platform/Audio/Pulse/PulseError.h"

#include <algorithm>
#include <pulse/context.h>
#include <pulse/error.h>
#include <pulse/stream.h>
#include <stdexcept>

namespace audio {

PulseCallbackRecordStream::PulseCallbackRecordStream(std::shared_ptr<PulseContext> context, const Options& options,
                                                     DataHandler onData, EndHandler onEnd)
    : context_(std::move(context)), onData_(std::move(onData)), onEnd_(std::move(onEnd)),
      sampleRate_(options.sampleRate), channels_(options.channels) {
    PulseContext::Lock lock(*context_);
    stream_ = connectRecordStream(*context_, options, onState, onReadable, this);
    ready_ = true;
    const char* connected = pa_stream_get_device_name(stream_);
    sourceName_ = connected != nullptr ? connected : options.sourceName.value_or("");
}

PulseCallbackRecordStream::~PulseCallbackRecordStream() {
    stop();
}

void PulseCallbackRecordStream::stop() {
    // Handlers run under the loop's lock, so once it is ours none is running, and none starts after
    // the callbacks are cleared.
    PulseContext::Lock lock(*context_);
    disconnectLocked();
}

void PulseCallbackRecordStream::disconnectLocked() {
    if (stream_ == nullptr) {
        return;
    }
    releaseRecordStream(stream_);
    stream_ = nullptr;
}

uint64_t PulseCallbackRecordStream::overruns() const {
    PulseContext::Lock lock(*context_);
    return overruns_;
}

uint64_t PulseCallbackRecordStream::droppedBytes() const {
    PulseContext::Lock lock(*context_);
    return droppedBytes_;
}

void PulseCallbackRecordStream::onState(pa_stream* stream, void* userdata) {
    auto* self = static_cast<PulseCallbackRecordStream*>(userdata);
    self->context_->signal();
    if (!self->ready_ || PA_STREAM_IS_GOOD(pa_stream_get_state(stream))) {
        return;
    }
    // Tell once: the stream is dead and its callbacks go with it.
    pa_stream_set_state_callback(stream, nullptr, nullptr);
    pa_stream_set_read_callback(stream, nullptr, nullptr);
    if (self->onEnd_) {
        self->onEnd_(PulseError("pa_stream", self->context_->lastError()));
    }
}

void PulseCallbackRecordStream::onReadable(pa_stream* stream, size_t, void* userdata) {
    auto* self = static_cast<PulseCallbackRecordStream*>(userdata);
    for (;;) {
        const void* data = nullptr;
        size_t length = 0;
        if (pa_stream_peek(stream, &data, &length) < 0 || length == 0) {
            return;
        }
        if (data == nullptr) {
            ++self->overruns_;
            self->droppedBytes_ += length;
        }
        if (self->onData_) {
            self->onData_(data, length);
        }
        pa_stream_drop(stream);
    }
}

} // namespace audio
