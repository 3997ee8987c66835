#pragma once
// A streaming transcriber over the transcription-task test stages and a hand-fed capture, with a gate
// that lets the pass loop through one step at a time and a record of every state change.

#include "Platform/Audio/Capture/FakeCaptureSource.h"
#include "Sonavex/Core/Audio/AudioProcessor.h"
#include "Sonavex/Core/Audio/Streaming/AudioStreamTranscriber.h"
#include "SonavexTests/TranscribeTaskFixture.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace streamtest {

using State = sonavex::AudioStreamTranscriber::State;

/// Holds every step of the loop at its first read of the samples until the test lets it in.
class SteppedProcessor : public sonavex::AudioProcessor {
public:
    using AudioProcessor::AudioProcessor;

    std::vector<float> audioSamples() const override {
        std::unique_lock lock(mutex_);
        ++arrivals_;
        changed_.notify_all();
        changed_.wait(lock, [this] { return permits_ > 0 || open_; });
        if (permits_ > 0) {
            --permits_;
        }
        lock.unlock();
        return AudioProcessor::audioSamples();
    }

    /// Lets one step in once it waits at the gate, and returns when the next one does (so the step with
    /// its pass is over).
    void step() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return arrivals_ > granted_ || open_; });
        ++granted_;
        ++permits_;
        changed_.notify_all();
        changed_.wait(lock, [this] { return arrivals_ > granted_ || open_; });
    }
    /// Lets every step through from now on.
    void open() {
        std::lock_guard lock(mutex_);
        open_ = true;
        changed_.notify_all();
    }
    /// Holds steps again, counting anew; only while no loop runs.
    void close() {
        std::lock_guard lock(mutex_);
        open_ = false;
        arrivals_ = permits_ = granted_ = 0;
    }

private:
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    mutable int arrivals_ = 0;
    mutable int permits_ = 0;
    int granted_ = 0;
    bool open_ = false;
};

/// Every (old, new) pair the callback got, in order.
class ChangeLog {
public:
    sonavex::AudioStreamTranscriber::StateChangeCallback callback() {
        return [this](const State& oldState, const State& newState) {
            std::lock_guard lock(mutex_);
            changes_.emplace_back(oldState, newState);
            changed_.notify_all();
        };
    }
    std::vector<std::pair<State, State>> changes() const {
        std::lock_guard lock(mutex_);
        return changes_;
    }
    State latest() const {
        std::lock_guard lock(mutex_);
        return changes_.empty() ? State{} : changes_.back().second;
    }
    /// Waits for a change (old, new) that `predicate` accepts, among those made so far or later.
    template <class Predicate> void waitForChange(Predicate predicate) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] {
            return std::any_of(changes_.begin(), changes_.end(),
                               [&](const auto& change) { return predicate(change.first, change.second); });
        });
    }
    template <class Predicate> State waitFor(Predicate predicate) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return !changes_.empty() && predicate(changes_.back().second); });
        return changes_.back().second;
    }

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::pair<State, State>> changes_;
};

struct Streaming {
    explicit Streaming(int required = 2, bool useVAD = false,
                       std::vector<tasktest::Rule> rules = tasktest::halfWindowScript())
        : stages(rules) {
        sonavex::DecodingOptions options;
        options.windowClipTime = 0;
        options.temperatureFallbackCount = 0;
        transcriber = std::make_shared<sonavex::AudioStreamTranscriber>(
            stages.encoder, stages.mel, stages.seeker, stages.decoder, stages.tokenizer, processor, options,
            required, 0.3f, 60, useVAD, log.callback(), source);
    }
    ~Streaming() {
        processor->open();
        if (loop.joinable()) {
            transcriber->stopStreamTranscription();
            loop.join();
        }
        releaseAndWait(std::move(transcriber));
    }

    /// Drops `transcriber` and waits until no late update (a progress report of the last pass) still
    /// holds it, so none reaches a callback whose test has ended.
    static void releaseAndWait(std::shared_ptr<sonavex::AudioStreamTranscriber> transcriber) {
        const std::weak_ptr<sonavex::AudioStreamTranscriber> weak = transcriber;
        transcriber.reset();
        while (!weak.expired()) {
            std::this_thread::yield();
        }
    }

    /// Starts on a thread of its own and waits until capture runs.
    void start() {
        loop = std::thread([this] { transcriber->startStreamTranscription(); });
        log.waitFor([](const State& state) { return state.isRecording; });
        while (!source->lastStream() || !source->lastStream()->isRunning()) {
            std::this_thread::yield();
        }
    }
    void stop() {
        transcriber->stopStreamTranscription();
        processor->open();
        loop.join();
        processor->close();
    }
    /// `samples` samples of silence in 0.1-s buffers.
    void record(int64_t samples) {
        for (; samples > 0; samples -= 1600) {
            source->deliver(std::vector<float>(size_t(std::min<int64_t>(samples, 1600)), 0.0f));
        }
    }

    tasktest::Stages stages;
    std::shared_ptr<audio::FakeCaptureSource> source = std::make_shared<audio::FakeCaptureSource>();
    std::shared_ptr<SteppedProcessor> processor = std::make_shared<SteppedProcessor>(source);
    ChangeLog log;
    std::shared_ptr<sonavex::AudioStreamTranscriber> transcriber;
    std::thread loop;
};

} // namespace streamtest
