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
    if (options.sampleRate == 0 || options.channels == 0 || options.channels > PA_CHANNELS_MAX) {
        throw std::invalid_argument("a record stream needs a positive rate and 1 to 32 channels");
    }
    context_->requireOffLoopThread("pa_stream_connect_record");
    pa_sample_spec spec{PA_SAMPLE_FLOAT32LE, options.sampleRate, static_cast<uint8_t>(options.channels)};
    pa_buffer_attr buffering{};
    buffering.maxlength = static_cast<uint32_t>(-1);
    buffering.tlength = static_cast<uint32_t>(-1);
    buffering.prebuf = static_cast<uint32_t>(-1);
    buffering.minreq = static_cast<uint32_t>(-1);
    uint64_t fragmentFrames =
        std::max<uint64_t>(1, uint64_t(options.sampleRate) * options.fragmentMilliseconds / 1000);
    buffering.fragsize = static_cast<uint32_t>(fragmentFrames * pa_frame_size(&spec));
    auto flags = PA_STREAM_ADJUST_LATENCY;
    if (options.staysOnSource) {
        flags = pa_stream_flags_t(flags | PA_STREAM_DONT_MOVE);
    }

    PulseContext::Lock lock(*context_);
    if (!context_->isConnected()) {
        throw PulseError("pa_stream_new", context_->lastError());
    }
    stream_ = pa_stream_new(context_->context(), options.streamName.c_str(), &spec, nullptr);
    if (stream_ == nullptr) {
        throw PulseError("pa_stream_new", context_->lastError());
    }
    pa_stream_set_state_callback(stream_, onState, this);
    pa_stream_set_read_callback(stream_, onReadable, this);
    const char* device = options.sourceName ? options.sourceName->c_str() : nullptr;
    if (pa_stream_connect_record(stream_, device, &buffering, flags) < 0) {
        int error = context_->lastError();
        disconnectLocked();
        throw PulseError("pa_stream_connect_record", error);
    }
    for (;;) {
        pa_stream_state_t state = pa_stream_get_state(stream_);
        if (state == PA_STREAM_READY) {
            break;
        }
        if (!PA_STREAM_IS_GOOD(state)) {
            int error = context_->lastError();
            disconnectLocked();
            throw PulseError("pa_stream_connect_record", error);
        }
        context_->wait();
    }
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
    pa_stream_set_state_callback(stream_, nullptr, nullptr);
    pa_stream_set_read_callback(stream_, nullptr, nullptr);
    if (PA_STREAM_IS_GOOD(pa_stream_get_state(stream_))) {
        pa_stream_disconnect(stream_);
    }
    pa_stream_unref(stream_);
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
