#pragma once
// Records one input device (the user's microphone) into one linear-PCM CAF file while a recording
// runs, and offers the live input level to the level meter. The session owns one recorder for its
// whole life: it sets preferredDeviceUID, calls start(), polls level(), reads the failure record just
// before it calls stop().
//
// Threads: the caller's, and the input's serial thread on which every buffer is handled and written.
// The lock guards only the level, the first-buffer time and the failure record (with the input's end),
// and is never held across the copy or the file write, so level() never waits on the disk.

#include "VelmoraCore/AudioCapture/Devices/AudioSystem.h"
#include "VelmoraCore/AudioCapture/Recording/CaptureFileWriter.h"
#include "VelmoraCore/AudioCapture/Recording/InputStream.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <exception>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace velmora {

class MicRecorder {
public:
    /// The machine's sound server and CAF files unless a test passes its own.
    explicit MicRecorder(AudioSystem& system = AudioSystem::shared(),
                         InputStreamOpener openInput = openPulseInputStream,
                         CaptureFileWriterFactory makeFile = makeCafCaptureFile);
    /// Stops a running capture first, so no buffer reaches a recorder that is going.
    ~MicRecorder();
    MicRecorder(const MicRecorder&) = delete;
    MicRecorder& operator=(const MicRecorder&) = delete;

    /// UID of the input the user chose; none records the default input. Read and set by the caller's
    /// thread only, before start().
    std::optional<std::string> preferredDeviceUID;

    /// Clears the failure record, chooses the device (the preferred one when it exists, else the
    /// default input, with a built-in microphone in place of a Bluetooth one), creates the file at
    /// `path` and starts the capture. Throws CAError when there is no default input or the capture
    /// cannot start (the file it created is removed then), and the file's own error unchanged. After a
    /// throw, stop() cleans up.
    void start(const std::filesystem::path& path);
    /// Ends the capture (no buffer is handled after this point), closes the file and sets the level to
    /// 0. Never fails; does nothing when nothing runs.
    void stop();

    /// Peak of the last handled buffer, linear, 0 when stopped. Any thread.
    float level() const;
    /// Buffers of the current recording whose write failed, and the last such failure. Any thread.
    /// An input that ended by itself counts as one more failure, its error naming the input and why.
    int64_t writeFailureCount() const;
    std::exception_ptr lastWriteError() const;
    /// True once the current recording's input ended by itself (the sound server or the input went):
    /// nothing more is recorded until the next start(). Any thread.
    bool inputEnded() const;
    /// When the first buffer with samples was handled; kept across recordings once set.
    std::optional<std::chrono::system_clock::time_point> firstBufferWallClock() const;

    /// What the current (or last) recording uses and has written so far, for tools and logs. Any thread.
    std::string deviceUID() const;
    double sampleRate() const;
    int channelCount() const;
    int64_t framesWritten() const;
    /// Buffers the input dropped because they were not taken in time. The caller's thread.
    uint64_t overruns() const;

private:
    void handleInput(const void* data, size_t bytes, int channels);
    void handleEnd(std::exception_ptr error);
    void discardFile(const std::filesystem::path& path);

    AudioSystem& system_;
    const InputStreamOpener openInput_;
    const CaptureFileWriterFactory makeFile_;

    // The caller's thread only (the input's thread reads file_ while the capture runs, which start()
    // and stop() never overlap).
    AudioDeviceID deviceID_ = 0;
    std::unique_ptr<InputStream> input_;
    std::unique_ptr<CaptureFileWriter> file_;
    // The input's thread only: the de-interleaved copy of a buffer, reused.
    std::vector<std::vector<float>> planes_;
    std::vector<const float*> planePointers_;

    mutable std::mutex lock_;
    float currentLevel_ = 0;
    std::optional<std::chrono::system_clock::time_point> firstBufferWallClock_;
    int64_t writeFailureCount_ = 0;
    std::exception_ptr lastWriteError_;
    bool inputEnded_ = false;
    std::string deviceUID_;
    double sampleRate_ = 0;
    int channels_ = 0;

    std::atomic<int64_t> framesWritten_{0};
    std::atomic<uint64_t> overrunsBeforeStop_{0};
};

} // namespace velmora
