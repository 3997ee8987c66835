#pragma once
// The private capture device on the sound server: one record stream per input-bearing member (the
// microphone) plus the taps' streams, all at the output device's rate on the one threaded main loop,
// joined by a StreamPairing into single deliveries in member order. A stream more than 100 ms behind
// the others is filled with silence. The streams run from creation to destruction; start() and stop()
// open and close the gate to the handler.
//
// Thread rules: construction and destruction off the loop thread without a PulseContext::Lock held;
// start() and stop() from any thread but the loop's, never from inside the handler. The handler runs
// on the loop thread with the loop's lock held.

#include "VelmoraCore/AudioCapture/TwoTrack/AggregateDevice.h"
#include "VelmoraCore/AudioCapture/TwoTrack/StreamPairing.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace audio {
class PulseCallbackRecordStream;
class PulseContext;
} // namespace audio

namespace velmora {

class PulseTapStream;

class PulseAggregateDevice : public AggregateDevice {
public:
    struct Source {
        std::string name;
        uint32_t channels = 1;
    };

    /// Opens a stream named `streamName` on each source at `sampleRate` and takes over the taps'
    /// streams (which must run at that rate). Throws audio::PulseError.
    PulseAggregateDevice(std::shared_ptr<audio::PulseContext> context, const std::string& streamName,
                         uint32_t sampleRate, const std::vector<Source>& sources,
                         std::vector<std::shared_ptr<PulseTapStream>> taps);
    ~PulseAggregateDevice() override;

    int inputChannelCount() override { return channels_; }
    double nominalSampleRate() override { return sampleRate_; }
    /// Throws CAError::status("AudioDeviceStart", …) when a member's stream has ended.
    void start(InputHandler handler) override;
    void stop() override;
    bool isRunning() override;
    std::exception_ptr endError() override;

    /// Frames of member `member` (sources first, then taps) filled with silence so far.
    uint64_t silenceFrames(size_t member) const { return pairing_.silenceFrames(member); }

private:
    struct EndState {
        std::atomic<bool> ended{false};
        std::atomic<int> error{0};
    };

    void deliver(size_t member, const void* data, size_t bytes);
    int endedMemberError() const;
    // The first member found ended: its name for a message and the library's error number.
    struct EndedMember {
        std::string subject;
        int error = 0;
    };
    std::optional<EndedMember> endedMember() const;

    std::shared_ptr<audio::PulseContext> context_;
    const uint32_t sampleRate_;
    int channels_ = 0;
    // The loop thread's, or any thread's under the loop's lock.
    InputHandler handler_;
    StreamPairing pairing_;
    // Written under the loop's lock; atomic for isRunning().
    std::atomic<bool> started_{false};
    std::vector<std::unique_ptr<EndState>> sourceEnds_;
    std::vector<std::string> sourceNames_;
    std::vector<std::shared_ptr<PulseTapStream>> taps_;
    // Last, so they stop (and no handler runs) before the rest goes.
    std::vector<std::unique_ptr<audio::PulseCallbackRecordStream>> streams_;
};

} // namespace velmora
