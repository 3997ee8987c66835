#pragma once
// The system-audio side of one recording as the session drives it; the program's is a
// SystemAudioRecorder. Both calls may block (the stop waits for the file to be finished), so the session
// makes them off the main thread.

#include <filesystem>

namespace velmora {

class RecordingSystemAudio {
public:
    virtual ~RecordingSystemAudio() = default;

    /// Starts writing `file`. Throws when nothing records.
    virtual void start(const std::filesystem::path& file) = 0;
    /// Finishes the file. May throw; the session ignores it.
    virtual void stop() = 0;
};

} // namespace velmora
