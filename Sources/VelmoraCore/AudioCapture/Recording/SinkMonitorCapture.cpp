#include "VelmoraCore/AudioCapture/Recording/SinkMonitorCapture.h"

#include "Platform/Audio/Pulse/PulseCallbackRecordStream.h"
#include "Platform/Audio/Pulse/PulseContext.h"
#include "Platform/Audio/Pulse/PulseError.h"
#include "Platform/Audio/Pulse/PulseEventSubscription.h"
#include "Platform/Audio/Pulse/PulseServerQueries.h"
#include "VelmoraCore/AudioCapture/Devices/CAError.h"

#include <optional>

namespace velmora {

namespace {

using audio::PulseContext;
using audio::PulseEventSubscription;

CAError noDefaultOutput() {
    return CAError::message("キャプチャ可能なディスプレイが見つかりません");
}

CAError hardwareError(const audio::PulseError& error) {
    return CAError::status(error.operation(), error.code());
}

bool connected(PulseContext& context) {
    PulseContext::Lock lock(context);
    return context.isConnected();
}

} // namespace

SinkMonitorCapture::SinkMonitorCapture()
    : mixer_([this](const float* const* channels, int64_t frames) {
          if (output_) {
              output_(channels, frames);
          }
      }) {
    try {
        context_ = PulseContext::shared();
        const std::string name = audio::readServerInfo(*context_).defaultSinkName;
        for (const auto& sink : audio::listSinks(*context_)) {
            if (!name.empty() && sink.name == name && !sink.monitorSourceName.empty()) {
                return;
            }
        }
    } catch (const audio::PulseError& error) {
        throw hardwareError(error);
    }
    throw noDefaultOutput();
}

SinkMonitorCapture::~SinkMonitorCapture() {
    stop();
}

void SinkMonitorCapture::start(Output output, FailureHandler onFailure) {
    {
        PulseContext::Lock lock(*context_);
        output_ = std::move(output);
        onFailure_ = std::move(onFailure);
        startTime_ = std::chrono::steady_clock::now();
    }
    try {
        // Listen first, so a change between the first look and the follower's start is not missed.
        subscription_ = std::make_unique<PulseEventSubscription>(
            context_, [this](PulseEventSubscription::Facility facility, PulseEventSubscription::Change, uint32_t) {
                using Facility = PulseEventSubscription::Facility;
                if (facility == Facility::sink || facility == Facility::sinkInput || facility == Facility::server) {
                    wake();
                }
            });
        reconcile(true);
    } catch (const audio::PulseError& error) {
        stop();
        throw hardwareError(error);
    } catch (...) {
        stop();
        throw;
    }
    follower_ = std::thread([this] { follow(); });
}

void SinkMonitorCapture::detachOutput() {
    PulseContext::Lock lock(*context_);
    // A sink that has not delivered for a while still owes the track its length up to now.
    if (output_) {
        mixer_.catchUp(elapsedFrames());
    }
    output_ = nullptr;
}

void SinkMonitorCapture::stop() {
    {
        std::lock_guard guard(followLock_);
        stopping_ = true;
    }
    changed_.notify_all();
    if (follower_.joinable()) {
        follower_.join();
    }
    subscription_.reset();
    for (auto& [sink, monitor] : monitors_) {
        closedOverruns_ += monitor.stream->overruns();
        monitor.stream->stop();
    }
    monitors_.clear();
    {
        PulseContext::Lock lock(*context_);
        output_ = nullptr;
        onFailure_ = nullptr;
    }
    std::lock_guard guard(followLock_);
    capturedSinks_.clear();
}

std::vector<std::string> SinkMonitorCapture::capturedSinks() const {
    std::lock_guard guard(followLock_);
    return capturedSinks_;
}

uint64_t SinkMonitorCapture::overruns() const {
    uint64_t total = closedOverruns_;
    // The follower may be opening or closing streams; only what the owner may touch is counted live.
    std::lock_guard guard(followLock_);
    return total + liveOverruns_;
}

int64_t SinkMonitorCapture::elapsedFrames() const {
    const auto elapsed = std::chrono::steady_clock::now() - startTime_;
    return std::chrono::duration_cast<std::chrono::microseconds>(elapsed).count() * SystemAudioMixer::sampleRate /
           1'000'000;
}

void SinkMonitorCapture::wake() {
    {
        std::lock_guard guard(followLock_);
        dirty_ = true;
    }
    changed_.notify_all();
}

void SinkMonitorCapture::follow() {
    for (;;) {
        {
            std::unique_lock guard(followLock_);
            changed_.wait(guard, [this] { return dirty_ || stopping_; });
            if (stopping_) {
                return;
            }
            dirty_ = false;
        }
        try {
            reconcile(false);
        } catch (const audio::PulseError& error) {
            // A refusal while the server is there (a sink gone between two questions) waits for the
            // next change; a lost server ends the capture.
            if (!connected(*context_)) {
                fail(std::make_exception_ptr(hardwareError(error)));
                return;
            }
        } catch (...) {
            fail(std::current_exception());
            return;
        }
    }
}

void SinkMonitorCapture::reconcile(bool starting) {
    const std::string defaultName = audio::readServerInfo(*context_).defaultSinkName;
    const auto sinks = audio::listSinks(*context_);
    const auto inputs = audio::listSinkInputs(*context_);

    std::map<uint32_t, const audio::PulseDevice*> byIndex;
    std::optional<uint32_t> defaultSink;
    for (const auto& sink : sinks) {
        byIndex[sink.index] = &sink;
        if (!defaultName.empty() && sink.name == defaultName) {
            defaultSink = sink.index;
        }
    }
    std::set<uint32_t> wanted;
    if (defaultSink) {
        wanted.insert(*defaultSink);
    }
    for (const auto& input : inputs) {
        if (!input.corked && byIndex.count(input.sink) != 0) {
            wanted.insert(input.sink);
        }
    }
    std::set<uint32_t> ended;
    {
        std::lock_guard guard(followLock_);
        ended.swap(ended_);
    }

    for (auto it = monitors_.begin(); it != monitors_.end();) {
        const uint32_t sink = it->first;
        auto now = byIndex.find(sink);
        const bool keep = wanted.count(sink) != 0 && ended.count(sink) == 0 && now != byIndex.end() &&
                          now->second->name == it->second.sinkName &&
                          now->second->monitorSourceName == it->second.sourceName;
        ++it;
        if (!keep) {
            close(sink);
        }
    }
    for (uint32_t sink : wanted) {
        const audio::PulseDevice& device = *byIndex.at(sink);
        if (monitors_.count(sink) != 0 || device.monitorSourceName.empty()) {
            continue;
        }
        try {
            open(sink, device.name, device.monitorSourceName);
        } catch (const audio::PulseError&) {
            // A sink that went away meanwhile is simply not recorded; the default output at the start
            // must be, and a lost server ends everything.
            if ((starting && sink == defaultSink) || !connected(*context_)) {
                throw;
            }
        }
    }
    if (starting && (!defaultSink || monitors_.count(*defaultSink) == 0)) {
        throw noDefaultOutput();
    }
    if (defaultSink && monitors_.count(*defaultSink) != 0) {
        PulseContext::Lock lock(*context_);
        mixer_.setLeader(*defaultSink);
    }

    std::vector<std::string> names;
    uint64_t live = 0;
    for (const auto& [sink, monitor] : monitors_) {
        names.push_back(monitor.sinkName);
        live += monitor.stream->overruns();
    }
    std::lock_guard guard(followLock_);
    capturedSinks_ = std::move(names);
    liveOverruns_ = live;
}

void SinkMonitorCapture::open(uint32_t sink, const std::string& sinkName, const std::string& sourceName) {
    {
        PulseContext::Lock lock(*context_);
        mixer_.addInput(sink);
    }
    audio::PulseCallbackRecordStream::Options options;
    options.sourceName = sourceName;
    options.sampleRate = SystemAudioMixer::sampleRate;
    options.channels = SystemAudioMixer::channels;
    options.streamName = "System audio";
    // A monitor whose sink goes must end, not be moved onto a microphone.
    options.staysOnSource = true;
    try {
        auto stream = std::make_unique<audio::PulseCallbackRecordStream>(
            context_, options,
            [this, sink](const void* data, size_t bytes) {
                const auto frames = int64_t(bytes / (sizeof(float) * SystemAudioMixer::channels));
                mixer_.catchUp(elapsedFrames() - frames);
                mixer_.push(sink, static_cast<const float*>(data), frames);
            },
            [this, sink](const audio::PulseError& error) {
                // On the loop thread, its lock held: taking it again here would abort the program.
                if (!context_->isConnected()) {
                    failLocked(std::make_exception_ptr(hardwareError(error)));
                    return;
                }
                {
                    std::lock_guard guard(followLock_);
                    ended_.insert(sink);
                    dirty_ = true;
                }
                changed_.notify_all();
            });
        monitors_[sink] = Monitor{sinkName, sourceName, std::move(stream)};
    } catch (...) {
        PulseContext::Lock lock(*context_);
        mixer_.removeInput(sink);
        throw;
    }
}

void SinkMonitorCapture::close(uint32_t sink) {
    auto found = monitors_.find(sink);
    if (found == monitors_.end()) {
        return;
    }
    closedOverruns_ += found->second.stream->overruns();
    found->second.stream->stop();
    monitors_.erase(found);
    PulseContext::Lock lock(*context_);
    mixer_.removeInput(sink);
}

void SinkMonitorCapture::fail(std::exception_ptr error) {
    PulseContext::Lock lock(*context_);
    failLocked(std::move(error));
}

void SinkMonitorCapture::failLocked(std::exception_ptr error) {
    if (failed_ || !onFailure_) {
        return;
    }
    failed_ = true;
    onFailure_(error);
}

} // namespace velmora
