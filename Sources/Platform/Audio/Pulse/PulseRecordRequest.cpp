#include "Platform/Audio/Pulse/PulseRecordRequest.h"

#include "Platform/Audio/Pulse/PulseContext.h"
#include "Platform/Audio/Pulse/PulseError.h"

#include <algorithm>
#include <optional>
#include <pulse/channelmap.h>
#include <pulse/introspect.h>
#include <pulse/stream.h>
#include <stdexcept>

namespace audio {

namespace {

struct SourceChannels {
    PulseContext* context = nullptr;
    std::optional<pa_channel_map> map;
};

void onSourceInfo(pa_context*, const pa_source_info* info, int eol, void* userdata) {
    auto* found = static_cast<SourceChannels*>(userdata);
    if (eol == 0 && info != nullptr) {
        found->map = info->channel_map;
    }
    if (eol != 0) {
        found->context->signal();
    }
}

// The stream's channel positions. The server has a default map for at most six channels, so a stream of
// more would not even be made without one. A source's own map, where it has as many channels, makes
// the server hand each input over as it is, by position: a multi-input interface's inputs (often named
// aux0, aux1, …) would otherwise be remixed onto the default map's speaker positions. Other counts get
// the default map, filled up with auxiliary positions past six, and the server mixes as it always did.
pa_channel_map channelMapFor(PulseContext& context, const PulseRecordRequest& request) {
    if (request.sourceName) {
        SourceChannels found{&context, std::nullopt};
        // A source that does not exist is refused by the connect, which names it.
        context.await(pa_context_get_source_info_by_name(context.context(), request.sourceName->c_str(),
                                                         onSourceInfo, &found),
                      "pa_context_get_source_info_by_name");
        if (found.map && found.map->channels == request.channels) {
            return *found.map;
        }
    }
    pa_channel_map map;
    pa_channel_map_init_extend(&map, request.channels, PA_CHANNEL_MAP_DEFAULT);
    return map;
}

} // namespace

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
    const pa_channel_map map = channelMapFor(context, request);
    pa_stream* stream = pa_stream_new(context.context(), request.streamName.c_str(), &format, &map);
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
    pa_stream_set_moved_callback(stream, nullptr, nullptr);
    if (PA_STREAM_IS_GOOD(pa_stream_get_state(stream))) {
        pa_stream_disconnect(stream);
    }
    pa_stream_unref(stream);
}

} // namespace audio
