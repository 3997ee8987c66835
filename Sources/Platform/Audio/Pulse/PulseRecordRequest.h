#pragma once
// What a record stream asks the server for (32-bit float samples, interleaved, little-endian, in small
// fragments), and the connecting and releasing that every record stream shares.

#include <cstdint>
#include <optional>
#include <string>

struct pa_stream;

namespace audio {

class PulseContext;

struct PulseRecordRequest {
    /// The source's name; none records from the server's default source.
    std::optional<std::string> sourceName;
    uint32_t sampleRate = 16000;
    uint32_t channels = 1;
    /// With the server's default buffering nothing would arrive for about two seconds.
    uint32_t fragmentMilliseconds = 20;
    /// How the stream is called in the server's lists and mixers.
    std::string streamName = "Recording";
    /// The server moves a stream whose source goes away to another source. A stream that must
    /// record this source or nothing (a sink's monitor) ends instead.
    bool staysOnSource = false;
    /// A stream that must record an input or nothing (a microphone): when its input goes and the server
    /// moves it onto an output's monitor (no other input is left), it ends instead, so it never records
    /// what the machine plays. A move onto another input goes on as the server made it. Honoured by
    /// PulseCallbackRecordStream.
    bool movesOnlyToInputs = false;
};

using PulseStreamStateCallback = void (*)(pa_stream* stream, void* userdata);
using PulseStreamReadCallback = void (*)(pa_stream* stream, size_t bytes, void* userdata);

/// Creates the stream with the two callbacks on `userdata`, connects it and waits until the server
/// delivers. Under a PulseContext::Lock, off the loop thread. Throws std::invalid_argument for a rate
/// of 0 or a channel count outside 1 to 32, PulseError ("pa_stream_new", "pa_stream_connect_record"
/// with the server's reason, e.g. no such source) and leaves nothing behind on failure.
pa_stream* connectRecordStream(PulseContext& context, const PulseRecordRequest& request,
                               PulseStreamStateCallback onState, PulseStreamReadCallback onReadable, void* userdata);
/// Clears the callbacks (state, read and moved), disconnects and releases the stream. Under a
/// PulseContext::Lock; may run on the loop thread.
void releaseRecordStream(pa_stream* stream);

} // namespace audio
