#pragma once
// Everything the machine plays, on any output: a monitor stream on the default sink, so the recording
// keeps its timeline while nothing plays, and one on every other sink that has a stream playing, so a
// call routed to a headset that is not the default output is heard too. The streams are opened and
// closed as application streams come, go or move between sinks and as the default output changes,
// and summed by a SystemAudioMixer (the default sink's monitor leading) into one 48 kHz stereo stream.
// The server converts each sink's own rate and channels to 48 kHz stereo. The sum keeps time with the
// clock from start() on: a sink whose first samples come late (an idle sink can take two seconds)
// leaves silence in its place rather than pulling the rest of the track earlier.
//
// Threads: the owner's (construction, start, detachOutput, stop); the sound server's loop thread,
// on which the fragments are mixed and the output is called; and a follower thread of its own, which
// asks the server what plays where whenever it reports a change and opens and closes streams.

#include "VelmoraCore/AudioCapture/Recording/SystemAudioMixer.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace audio {
class PulseCallbackRecordStream;
class PulseContext;
class PulseEventSubscription;
} // namespace audio

namespace velmora {

class SinkMonitorCapture {
public:
    using Output = SystemAudioMixer::Output;
    /// The capture as a whole has stopped (the sound server was lost); it is not restarted. Called at
    /// most once, on the loop thread or the follower thread, with a CAError.
    using FailureHandler = std::function<void(std::exception_ptr error)>;

    /// Finds the default output. Throws CAError::message("キャプチャ可能なディスプレイが見つかりません")
    /// when there is no default sink with a monitor to capture, CAError::status when the server fails.
    SinkMonitorCapture();
    /// Stops, as stop() does.
    ~SinkMonitorCapture();
    SinkMonitorCapture(const SinkMonitorCapture&) = delete;
    SinkMonitorCapture& operator=(const SinkMonitorCapture&) = delete;

    /// Opens the streams and starts following. `output` gets the sum on the loop thread. Throws
    /// CAError::status when the default sink's monitor cannot be recorded. Once only.
    void start(Output output, FailureHandler onFailure);
    /// Brings the output up to the time since start() (when it lags by more than a gap), then no
    /// output call runs or begins after it returns; the streams go on until stop().
    void detachOutput();
    /// Stops following and closes every stream; no output or failure call after it returns. Idempotent.
    void stop();

    /// The names of the sinks whose monitors are recorded now.
    std::vector<std::string> capturedSinks() const;
    /// Stretches the server dropped, over every stream of this capture.
    uint64_t overruns() const;

private:
    struct Monitor {
        std::string sinkName;
        std::string sourceName;
        std::unique_ptr<audio::PulseCallbackRecordStream> stream;
    };

    void follow();
    void reconcile(bool starting);
    void open(uint32_t sink, const std::string& sinkName, const std::string& sourceName);
    void close(uint32_t sink);
    /// Tells the failure once. fail() takes the loop's lock; failLocked() runs where it is held already
    /// (on the loop thread, inside a stream's handler).
    void fail(std::exception_ptr error);
    void failLocked(std::exception_ptr error);
    void wake();

    /// The frames the output should hold by now, at 48 kHz from start().
    int64_t elapsedFrames() const;

    std::shared_ptr<audio::PulseContext> context_;
    std::chrono::steady_clock::time_point startTime_;
    // Touched on the loop thread and otherwise only under the loop's lock.
    SystemAudioMixer mixer_;
    Output output_;
    FailureHandler onFailure_;
    bool failed_ = false;

    // The follower thread's (and, before it starts and after it ends, the owner's).
    std::map<uint32_t, Monitor> monitors_;
    std::unique_ptr<audio::PulseEventSubscription> subscription_;
    std::thread follower_;

    // Between the loop thread, the follower and the owner.
    mutable std::mutex followLock_;
    std::condition_variable changed_;
    bool dirty_ = false;
    bool stopping_ = false;
    std::set<uint32_t> ended_;
    std::vector<std::string> capturedSinks_;
    uint64_t liveOverruns_ = 0;
    std::atomic<uint64_t> closedOverruns_{0};
};

} // namespace velmora
