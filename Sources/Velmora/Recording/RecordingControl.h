#pragma once
// What the shell needs of the recording session: the state the tray label shows and the steps of the
// record toggle. The recording session of the application core is handed to the shell through this
// interface, so the label and the hot key work (and are tested) without recorders. Main thread only.

#include <functional>
#include <memory>

namespace velmora::app {

class RecordingControl {
public:
    enum class Phase { idle, recording, failed };

    /// Keeps an observation alive; destroying it stops the calls.
    class Observation {
    public:
        explicit Observation(std::function<void()> stop) : stop_(std::move(stop)) {}
        ~Observation() {
            if (stop_) {
                stop_();
            }
        }
        Observation(const Observation&) = delete;
        Observation& operator=(const Observation&) = delete;

    private:
        std::function<void()> stop_;
    };

    virtual ~RecordingControl() = default;

    virtual Phase phase() const = 0;
    /// Seconds since the current recording started; keeps its last value after a stop.
    virtual double elapsedSeconds() const = 0;
    /// Stopped recordings queued or being turned into transcripts.
    virtual int pendingTranscriptions() const = 0;
    /// `changed` runs after each change of the phase, the elapsed time or the pending count.
    virtual std::unique_ptr<Observation> observe(std::function<void()> changed) const = 0;

    virtual void reset() = 0;
    /// Start and stop return at once; the session publishes the outcome.
    virtual void start() = 0;
    virtual void stop() = 0;
};

} // namespace velmora::app
