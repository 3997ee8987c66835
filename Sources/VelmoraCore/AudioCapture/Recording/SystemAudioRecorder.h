#pragma once
// Records what the computer plays (the other side of a call) into one MPEG-4 AAC file (the session's
// "system_capture.mp4"): everything on any output, at 48 kHz stereo, followed across changes of the
// default output and streams that move (SinkMonitorCapture), encoded on the writer's own thread. While
// it records it keeps the display from sleeping for lack of user activity. The session makes a new
// recorder for every recording: start() after the microphone has started, stop() at the end.
//
// Threads: the caller's; the sound server's loop thread, which hands the sum to the file; the
// capture's follower thread; and a finisher thread that closes the file while stop() waits for it.
// The lock guards the start time, the last error and the written-frame count.

#include "VelmoraCore/AudioCapture/Recording/CaptureFileWriter.h"
#include "VelmoraCore/AudioCapture/Recording/FinishHandshake.h"

#include <chrono>
#include <exception>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace desktop {
class ScreenSaverInhibitor;
}

namespace velmora {

class SinkMonitorCapture;

class SystemAudioRecorder {
public:
    static constexpr double sampleRate = 48000;
    static constexpr int channels = 2;
    /// The display-sleep inhibition's application name and reason.
    static constexpr const char* inhibitApplication = "Velmora";
    static constexpr const char* inhibitReason = "Velmora is recording system audio";

    /// The streaming AAC file and a 15-second wait for its finish unless a test passes its own.
    explicit SystemAudioRecorder(CaptureFileWriterFactory makeFile = makeStreamingAacCaptureFile,
                                 std::chrono::milliseconds finishTimeout = std::chrono::seconds(15));
    /// Stops a recording still running (and so releases the display-sleep inhibition).
    ~SystemAudioRecorder();
    SystemAudioRecorder(const SystemAudioRecorder&) = delete;
    SystemAudioRecorder& operator=(const SystemAudioRecorder&) = delete;

    /// Finds the default output, replaces any file at `path` with a new one and starts the capture,
    /// then inhibits display sleep (a missing bus or service is ignored). Throws CAError::message(
    /// "キャプチャ可能なディスプレイが見つかりません") when there is no default output to capture,
    /// CAError::status when the sound server fails, the file's own error unchanged; no inhibition is
    /// held after a throw, and stop() clears what was set up.
    void start(const std::filesystem::path& path);
    /// Stops feeding the file and waits (at most the finish time-out) until it is finished, stops the
    /// capture and releases the inhibition. Does nothing on a recorder that never started.
    void stop();

    /// When the file got its first samples; kept after stop().
    std::optional<std::chrono::system_clock::time_point> didStartWallClock() const;
    /// The last failure of the capture or the file; kept after stop().
    std::exception_ptr lastError() const;
    /// True once the capture stopped by itself (the sound server went), so the file holds only what came
    /// before; kept after stop().
    bool captureEnded() const;
    /// Frames handed to the file so far.
    int64_t framesWritten() const;
    /// The sinks being recorded now (empty when stopped), and the stretches the server dropped.
    std::vector<std::string> capturedSinks() const;
    uint64_t overruns() const;

private:
    // What the loop thread and the finisher thread share with the recorder; they hold it, so a
    // finisher that outlives stop() after a time-out still finds it.
    struct Shared {
        std::mutex lock;
        std::optional<std::chrono::system_clock::time_point> didStartWallClock;
        std::exception_ptr lastError;
        int64_t framesWritten = 0;
        bool outputFailed = false;
        bool captureEnded = false;
        FinishHandshake finish;

        void setError(std::exception_ptr error);
    };

    const CaptureFileWriterFactory makeFile_;
    const std::chrono::milliseconds finishTimeout_;
    std::shared_ptr<Shared> shared_;
    std::unique_ptr<SinkMonitorCapture> capture_;
    std::shared_ptr<CaptureFileWriter> file_;
    std::unique_ptr<desktop::ScreenSaverInhibitor> inhibitor_;
    uint64_t overrunsAtStop_ = 0;
};

} // namespace velmora
