#pragma once
// The microphone side of a recording as the session drives it; the program's is a MicRecorder, tests
// pass one without audio hardware. The session calls start() and stop() from one thread at a time;
// level() and the failure record may be read from any thread.

#include <cstdint>
#include <exception>
#include <filesystem>
#include <optional>
#include <string>

namespace velmora {

class RecordingMicrophone {
public:
    virtual ~RecordingMicrophone() = default;

    /// The input to record at the next start(); none records the default one.
    virtual void setPreferredDeviceUID(std::optional<std::string> uid) = 0;
    /// Starts writing `file`; clears the failure record. Throws when nothing records.
    virtual void start(const std::filesystem::path& file) = 0;
    /// Stops and closes the file; harmless when nothing runs.
    virtual void stop() = 0;

    virtual float level() const = 0;
    /// Failed buffer writes of the current recording, and the last such error.
    virtual std::int64_t writeFailureCount() const = 0;
    virtual std::exception_ptr lastWriteError() const = 0;
    /// True once the input ended by itself (the sound server or the input went): the recording can
    /// record nothing more, and the failure record says why.
    virtual bool inputEnded() const = 0;
};

} // namespace velmora
