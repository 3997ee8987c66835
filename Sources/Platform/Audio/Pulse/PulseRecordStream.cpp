#include "Platform/Audio/Pulse/PulseRecordStream.h"

#include "Platform/Audio/Pulse/PulseContext.h"
#include "Platform/Audio/Pulse/PulseError.h"

#include <algorithm>
#include <cstring>
#include <pulse/context.h>
#include <pulse/error.h>
#include <pulse/stream.h>
#include <stdexcept>

namespace audio {

namespace {

// Carries a cork request's answer from the loop thread to the waiting caller.
struct CorkAnswer {
    PulseContext* context = nullptr;
    bool failed = false;
};

} // namespace

PulseRecordStream::PulseRecordStream(std::shared_ptr<PulseContext> context, const Options& options)
    : context_(std::move(context)), sampleRate_(options.sampleRate), channels_(options.channels) {
    PulseContext::Lock lock(*context_);
    stream_ = connectRecordStream(*context_, options, onState, onReadable, this);
    const char* connected = pa_stream_get_device_name(stream_);
    sourceName_ = connected != nullptr ? connected : options.sourceName.value_or("");
}

PulseRecordStream::~PulseRecordStream() {
    PulseContext::Lock lock(*context_);
    disconnectLocked();
}

void PulseRecordStream::disconnectLocked() {
    if (stream_ == nullptr) {
        return;
    }
    if (fragment_ != nullptr) {
        pa_stream_drop(stream_);
        fragment_ = nullptr;
    }
    releaseRecordStream(stream_);
    stream_ = nullptr;
}

size_t PulseRecordStream::read(float* samples, size_t frames) {
    context_->requireOffLoopThread("PulseRecordStream::read");
    const size_t frameBytes = sizeof(float) * channels_;
    auto* out = reinterpret_cast<uint8_t*>(samples);
    size_t wanted = frames * frameBytes;
    size_t copied = 0;
    PulseContext::Lock lock(*context_);
    while (copied < wanted && !interrupted_) {
        if (stream_ == nullptr || pa_stream_get_state(stream_) != PA_STREAM_READY) {
            throw PulseError("pa_stream_peek", context_->lastError());
        }
        if (fragment_ == nullptr) {
            const void* data = nullptr;
            size_t length = 0;
            if (pa_stream_peek(stream_, &data, &length) < 0) {
                throw PulseError("pa_stream_peek", context_->lastError());
            }
            if (length == 0) {
                context_->wait();
                continue;
            }
            if (data == nullptr) {
                // A hole in the server's buffer: nothing was recorded there.
                pa_stream_drop(stream_);
                continue;
            }
            fragment_ = static_cast<const uint8_t*>(data);
            fragmentLength_ = length;
            fragmentOffset_ = 0;
        }
        size_t take = std::min(wanted - copied, fragmentLength_ - fragmentOffset_);
        std::memcpy(out + copied, fragment_ + fragmentOffset_, take);
        copied += take;
        fragmentOffset_ += take;
        if (fragmentOffset_ == fragmentLength_) {
            pa_stream_drop(stream_);
            fragment_ = nullptr;
        }
    }
    // The server hands out whole frames, so an interrupted read still ends on a frame boundary.
    return copied / frameBytes;
}

void PulseRecordStream::interrupt() {
    PulseContext::Lock lock(*context_);
    interrupted_ = true;
    context_->signal();
}

void PulseRecordStream::setCorked(bool corked) {
    context_->requireOffLoopThread("pa_stream_cork");
    CorkAnswer answer;
    answer.context = context_.get();
    PulseContext::Lock lock(*context_);
    if (stream_ == nullptr || pa_stream_get_state(stream_) != PA_STREAM_READY) {
        throw PulseError("pa_stream_cork", context_->lastError());
    }
    context_->await(pa_stream_cork(stream_, corked ? 1 : 0, onCorked, &answer), "pa_stream_cork");
    if (answer.failed) {
        throw PulseError("pa_stream_cork", context_->lastError());
    }
}

bool PulseRecordStream::canRecordFrom(const std::shared_ptr<PulseContext>& context,
                                      const std::string& sourceName) {
    try {
        Options options;
        options.sourceName = sourceName;
        options.streamName = "Probe";
        PulseRecordStream probe(context, options);
        return true;
    } catch (const PulseError&) {
        return false;
    }
}

void PulseRecordStream::onState(pa_stream*, void* userdata) {
    static_cast<PulseRecordStream*>(userdata)->context_->signal();
}

void PulseRecordStream::onReadable(pa_stream*, size_t, void* userdata) {
    static_cast<PulseRecordStream*>(userdata)->context_->signal();
}

void PulseRecordStream::onCorked(pa_stream*, int success, void* userdata) {
    auto* answer = static_cast<CorkAnswer*>(userdata);
    answer->failed = success == 0;
    answer->context->signal();
}

} // namespace audio
