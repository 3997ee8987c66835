#include "Platform/Audio/Pulse/PulseRecordRequest.h"

#include "Platform/Audio/Pulse/PulseContext.h"
#include "Platform/Audio/Pulse/PulseError.h"

#include <algorithm>
#include <pulse/stream.h>
#include <stdexcept>

namespace audio {

pa_stream* connectRecordStream(PulseContext& context, const PulseRecordRequest& request,
                               PulseStreamStateCallback onState, PulseStreamReadCallback onReadable, void* userdata) {
    if (request.sampleRate == 0 || request.channels == 0 || request.channels > PA_CHANNELS_MAX) {
        throw std::invalid_argument("a record stream needs a positive rate and 1 to 32 channels");
    }
    context.requireOffLoopThread("pa_stream_connect_record");
    pa_sample_spec format{PA_SAMPLE_FLOAT32LE, request.sampleRate, static_cast<uint8_t>(request.channels)};
    pa_buffer_attr buffering{};
    buffering.maxlength = static_cast<uint32_t>(-1);
    buffering.tlength = static_cast<uint32_t>(-1);
    buffering.prebuf = static_cast<uint32_t>(-1);
    buffering.minreq = static_cast<uint32_t>(-1);
    uint64_t fragmentFrames =
        std::max<uint64_t>(1, uint64_t(request.sampleRate) * request.fragmentMilliseconds / 1000);
    buffering.fragsize = static_cast<uint32_t>(fragmentFrames * pa_frame_size(&format));
    auto flags = PA_STREAM_ADJUST_LATENCY;
    if (request.staysOnSource) {
        flags = pa_stream_flags_t(flags | PA_STREAM_DONT_MOVE);
    }

    if (!context.isConnected()) {
        throw PulseError("pa_stream_new", context.lastError());
    }
    pa_stream* stream = pa_stream_new(context.context(), request.streamName.c_str(), &format, nullptr);
    if (stream == nullptr) {
        throw PulseError("pa_stream_new", context.lastError());
    }
    pa_stream_set_state_callback(stream, onState, userdata);
    pa_stream_set_read_callback(stream, onReadable, userdata);
    const char* device = request.sourceName ? request.sourceName->c_str() : nullptr;
    if (pa_stream_connect_record(stream, device, &buffering, flags) < 0) {
        int error = context.lastError();
        releaseRecordStream(stream);
        throw PulseError("pa_stream_connect_record", error);
    }
    for (;;) {
        pa_stream_state_t state = pa_stream_get_state(stream);
        if (state == PA_STREAM_READY) {
            return stream;
        }
        if (!PA_STREAM_IS_GOOD(state)) {
            int error = context.lastError();
            releaseRecordStream(stream);
            throw PulseError("pa_stream_connect_record", error);
        }
        context.wait();
    }
}

void releaseRecordStream(pa_stream* stream) {
    pa_stream_set_state_callback(stream, nullptr, nullptr);
    pa_stream_set_read_callback(stream, nullptr, nullptr);
    if (PA_STREAM_IS_GOOD(pa_stream_get_state(stream))) {
        pa_stream_disconnect(stream);
    }
    pa_stream_unref(stream);
}

} // namespace audio
