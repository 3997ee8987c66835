#pragma once
// Sums what several sinks play into one 48 kHz stereo stream. One input leads: each stretch it
// delivers becomes a stretch of the output, with what the other inputs have buffered added in. Each
// sink runs on its own clock and delivers a little earlier or later than the leader, so a follower
// joins only once a short cushion has built up (ordinary jitter then never cuts holes), and one that
// runs ahead of the leader by more than the limit loses its oldest samples (clock drift, a stalled
// leader) instead of growing without end. The sum is clipped to full scale.
//
// The output also keeps time with the caller's clock: when the leader falls silent (a sink that
// starts late, a new default output that has not delivered yet), catchUp() fills the gap with what
// the followers have, or silence, so the track stays aligned with the microphone's.
//
// Not thread-safe: one thread, or one lock, at a time. The system-audio capture calls it on the sound
// server's loop thread.

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace velmora {

class SystemAudioMixer {
public:
    static constexpr int sampleRate = 48000;
    static constexpr int channels = 2;
    /// What a follower must have buffered before it joins: 50 ms.
    static constexpr int64_t cushionFrames = 2400;
    /// What a follower may hold at most: 0.5 s.
    static constexpr int64_t limitFrames = 24000;
    /// How far the output may fall behind the clock before catchUp() fills the gap: 200 ms.
    static constexpr int64_t gapFrames = 9600;

    /// Gets each stretch of the sum: channels[c] holds channel c's samples.
    using Output = std::function<void(const float* const* channels, int64_t frames)>;

    explicit SystemAudioMixer(Output output);

    /// Adds an input (nothing when it is there already); the first input leads.
    void addInput(uint32_t input);
    /// Removes an input and drops what it buffered. When the leader goes, the input with the most
    /// buffered leads, and what it buffered is output at once.
    void removeInput(uint32_t input);
    /// Makes an input the leader; what it buffered is output at once. Nothing for an unknown input.
    void setLeader(uint32_t input);

    std::optional<uint32_t> leader() const;
    bool hasInput(uint32_t input) const;
    /// Frames an input holds that are not yet in the output.
    int64_t bufferedFrames(uint32_t input) const;

    /// `frames` interleaved stereo frames from `input`; null samples stand for silence of that length
    /// (a stretch the server dropped keeps its place in time). Ignored for an unknown input.
    void push(uint32_t input, const float* interleaved, int64_t frames);
    /// Brings the output up to `frames` frames in all when it lags by more than gapFrames: the gap
    /// gets the followers' samples, over silence.
    void catchUp(int64_t frames);

    /// Frames output so far.
    int64_t framesOut() const { return framesOut_; }

private:
    struct Input {
        uint32_t id = 0;
        // Interleaved frames; the ones before `readFrame` are already used.
        std::vector<float> samples;
        size_t readFrame = 0;
        bool joined = false;

        int64_t available() const { return int64_t(samples.size() / channels - readFrame); }
        void consume(int64_t frames);
    };

    Input* find(uint32_t id);
    const Input* find(uint32_t id) const;
    /// One stretch of the output: the leader's samples (null: silence) plus the followers'.
    void emit(const float* leaderSamples, int64_t frames);

    Output output_;
    std::vector<Input> inputs_;
    std::optional<uint32_t> leader_;
    int64_t framesOut_ = 0;
    std::vector<float> left_;
    std::vector<float> right_;
};

} // namespace velmora
