#pragma once
// A record stream of 32-bit float samples (interleaved, little-endian) from one source of the sound
// server, read in blocks of any size by one reader thread. Fragments are small (about 20 ms by
// default): with the server's default buffering nothing would arrive for about two seconds.
//
// Thread rules: every member blocks and must run off the loop thread without a PulseContext::Lock held.
// read() belongs to one reader thread; interrupt() and setCorked() may come from any other thread.

#include "Platform/Audio/Pulse/PulseRecordRequest.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

struct pa_stream;

namespace audio {

class PulseContext;

class PulseRecordStream {
public:
    /// The source, format, fragment size and name of the stream (16 kHz mono unless asked otherwise).
    using Options = PulseRecordRequest;

    /// Connects and waits until the server delivers. Throws PulseError ("pa_stream_connect_record"
    /// with the server's reason, e.g. no such source) and leaves nothing behind on failure.
    PulseRecordStream(std::shared_ptr<PulseContext> context, const Options& options);
    ~PulseRecordStream();
    PulseRecordStream(const PulseRecordStream&) = delete;
    PulseRecordStream& operator=(const PulseRecordStream&) = delete;

    /// Fills `frames` interleaved frames into `samples`, waiting for the server as long as needed.
    /// Returns fewer only after interrupt(); throws PulseError when the stream or server fails.
    size_t read(float* samples, size_t frames);
    /// Makes a waiting read() return, and every later one return at once.
    void interrupt();
    /// Pauses (true) or resumes (false) delivery from the server; waits for the server's answer.
    void setCorked(bool corked);

    /// The source the server connected (the default's real name when none was asked for).
    const std::string& sourceName() const { return sourceName_; }
    uint32_t sampleRate() const { return sampleRate_; }
    uint32_t channels() const { return channels_; }

    /// True when a record stream from the named source can be opened now (the source exists and
    /// the server lets us record it). Never throws for the server's refusal.
    static bool canRecordFrom(const std::shared_ptr<PulseContext>& context, const std::string& sourceName);

private:
    static void onState(pa_stream* stream, void* userdata);
    static void onReadable(pa_stream* stream, size_t bytes, void* userdata);
    static void onCorked(pa_stream* stream, int success, void* userdata);
    void disconnectLocked();

    std::shared_ptr<PulseContext> context_;
    pa_stream* stream_ = nullptr;
    std::string sourceName_;
    uint32_t sampleRate_ = 0;
    uint32_t channels_ = 0;
    bool interrupted_ = false;
    // The fragment the server lent us and how much of it is already copied out.
    const uint8_t* fragment_ = nullptr;
    size_t fragmentLength_ = 0;
    size_t fragmentOffset_ = 0;
};

} // namespace audio
