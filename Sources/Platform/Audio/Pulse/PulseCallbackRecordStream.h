#pragma once
// A record stream of 32-bit float samples (interleaved, little-endian) whose fragments are handed to a
// handler on the loop thread as the server delivers them, with no thread of its own: the loop thread is
// the one serial place where every fragment is handled, in order. Fragments are small (about 20 ms):
// with the server's default buffering nothing would arrive for about two seconds.
//
// Thread rules: the handlers run on the loop thread inside the library's callbacks (the loop's lock
// held), so they must not call the blocking helpers; work that must wait belongs on another thread.
// Construction blocks and must run off the loop thread without a PulseContext::Lock held; stop() and
// the destructor may run on any thread but inside this stream's own handlers.

#include "Platform/Audio/Pulse/PulseRecordRequest.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

struct pa_context;
struct pa_operation;
struct pa_source_info;
struct pa_stream;

namespace audio {

class PulseContext;
class PulseError;

class PulseCallbackRecordStream {
public:
    /// The source, format, fragment size and name of the stream; rate and channels must be set.
    using Options = PulseRecordRequest;

    /// One fragment: whole frames in the requested format. `data` is null for a stretch the server
    /// dropped because it was not read in time (`bytes` long).
    using DataHandler = std::function<void(const void* data, size_t bytes)>;
    /// The stream ended on its own (its source went away, the server was lost, or an input-only stream
    /// was moved onto a monitor); called at most once, on the loop thread with the loop's lock held.
    using EndHandler = std::function<void(const PulseError& error)>;

    /// Connects and waits until the server delivers; fragments may reach `onData` before it returns.
    /// Throws PulseError ("pa_stream_connect_record" with the server's reason, e.g. no such source) and
    /// leaves nothing behind on failure.
    PulseCallbackRecordStream(std::shared_ptr<PulseContext> context, const Options& options, DataHandler onData,
                              EndHandler onEnd = {});
    /// Stops, as stop() does.
    ~PulseCallbackRecordStream();
    PulseCallbackRecordStream(const PulseCallbackRecordStream&) = delete;
    PulseCallbackRecordStream& operator=(const PulseCallbackRecordStream&) = delete;

    /// Disconnects. No handler runs or begins after it returns. Idempotent.
    void stop();

    /// The source the server connected (the default's real name when none was asked for).
    const std::string& sourceName() const { return sourceName_; }
    uint32_t sampleRate() const { return sampleRate_; }
    uint32_t channels() const { return channels_; }
    /// How many times, and how many bytes in all, the server dropped because they were not read in time.
    uint64_t overruns() const;
    uint64_t droppedBytes() const;

private:
    static void onState(pa_stream* stream, void* userdata);
    static void onReadable(pa_stream* stream, size_t bytes, void* userdata);
    static void onMoved(pa_stream* stream, void* userdata);
    static void onMovedSourceInfo(pa_context* context, const pa_source_info* info, int eol, void* userdata);
    void drainLocked(pa_stream* stream);
    void endLocked(const PulseError& error);
    void cancelMoveCheckLocked();
    void disconnectLocked();

    std::shared_ptr<PulseContext> context_;
    pa_stream* stream_ = nullptr;
    DataHandler onData_;
    EndHandler onEnd_;
    std::string sourceName_;
    uint32_t sampleRate_ = 0;
    uint32_t channels_ = 0;
    bool ready_ = false;
    // A stream that records inputs only: while the server's answer on where it was moved is out, the
    // fragments wait in the library's buffer, so none of a monitor's reaches the handler.
    bool movesOnlyToInputs_ = false;
    pa_operation* moveCheck_ = nullptr;
    bool movedOntoMonitor_ = false;
    uint64_t overruns_ = 0;
    uint64_t droppedBytes_ = 0;
};

} // namespace audio
