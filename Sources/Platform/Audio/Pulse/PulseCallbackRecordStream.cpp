#include "Platform/Audio/Pulse/PulseCallbackRecordStream.h"

#include "Platform/Audio/Pulse/PulseContext.h"
#include "Platform/Audio/Pulse/PulseError.h"

#include <algorithm>
#include <pulse/context.h>
#include <pulse/error.h>
#include <pulse/introspect.h>
#include <pulse/operation.h>
#include <pulse/stream.h>
#include <stdexcept>

namespace audio {

PulseCallbackRecordStream::PulseCallbackRecordStream(std::shared_ptr<PulseContext> context, const Options& options,
                                                     DataHandler onData, EndHandler onEnd)
    : context_(std::move(context)), onData_(std::move(onData)), onEnd_(std::move(onEnd)),
      sampleRate_(options.sampleRate), channels_(options.channels), movesOnlyToInputs_(options.movesOnlyToInputs) {
    PulseContext::Lock lock(*context_);
    stream_ = connectRecordStream(*context_, options, onState, onReadable, this);
    ready_ = true;
    if (movesOnlyToInputs_) {
        pa_stream_set_moved_callback(stream_, onMoved, this);
    }
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
    cancelMoveCheckLocked();
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
    self->endLocked(PulseError("pa_stream", self->context_->lastError()));
}

void PulseCallbackRecordStream::onReadable(pa_stream* stream, size_t, void* userdata) {
    auto* self = static_cast<PulseCallbackRecordStream*>(userdata);
    if (self->moveCheck_ == nullptr) {
        self->drainLocked(stream);
    }
}

// `stream` is stream_ once the constructor has it; fragments may come while it still waits for it.
void PulseCallbackRecordStream::drainLocked(pa_stream* stream) {
    for (;;) {
        const void* data = nullptr;
        size_t length = 0;
        if (pa_stream_peek(stream, &data, &length) < 0 || length == 0) {
            return;
        }
        if (data == nullptr) {
            ++overruns_;
            droppedBytes_ += length;
        }
        if (onData_) {
            onData_(data, length);
        }
        pa_stream_drop(stream);
    }
}

// The server moved the stream because its source went. It picks the default source, and with no input
// left that is an output's monitor: ask what the new source is before handing on anything it delivers.
void PulseCallbackRecordStream::onMoved(pa_stream* stream, void* userdata) {
    auto* self = static_cast<PulseCallbackRecordStream*>(userdata);
    self->cancelMoveCheckLocked();
    self->movedOntoMonitor_ = false;
    self->moveCheck_ = pa_context_get_source_info_by_index(self->context_->context(),
                                                           pa_stream_get_device_index(stream), onMovedSourceInfo, self);
    if (self->moveCheck_ == nullptr) {
        self->endLocked(PulseError("pa_context_get_source_info_by_index", self->context_->lastError()));
    }
}

void PulseCallbackRecordStream::onMovedSourceInfo(pa_context*, const pa_source_info* info, int eol, void* userdata) {
    auto* self = static_cast<PulseCallbackRecordStream*>(userdata);
    if (eol == 0) {
        self->movedOntoMonitor_ = info != nullptr && info->monitor_of_sink != PA_INVALID_INDEX;
        return;
    }
    pa_operation_unref(self->moveCheck_);
    self->moveCheck_ = nullptr;
    // A source that is gone again by the time the server answers is no input to record either.
    if (eol < 0 || self->movedOntoMonitor_) {
        self->endLocked(PulseError("pa_stream", PA_ERR_NOENTITY));
        return;
    }
    self->drainLocked(self->stream_);
}

void PulseCallbackRecordStream::endLocked(const PulseError& error) {
    // Tell once: the stream is dead (or is ended here) and its callbacks go with it. The stream itself
    // is released by stop().
    cancelMoveCheckLocked();
    pa_stream_set_state_callback(stream_, nullptr, nullptr);
    pa_stream_set_read_callback(stream_, nullptr, nullptr);
    pa_stream_set_moved_callback(stream_, nullptr, nullptr);
    if (PA_STREAM_IS_GOOD(pa_stream_get_state(stream_))) {
        pa_stream_disconnect(stream_);
    }
    if (onEnd_) {
        onEnd_(error);
    }
}

void PulseCallbackRecordStream::cancelMoveCheckLocked() {
    if (moveCheck_ != nullptr) {
        pa_operation_cancel(moveCheck_);
        pa_operation_unref(moveCheck_);
        moveCheck_ = nullptr;
    }
}

} // namespace audio
