#include "VelmoraCore/AudioCapture/TwoTrack/PulseAggregateDevice.h"

#include "Platform/Audio/Pulse/PulseCallbackRecordStream.h"
#include "Platform/Audio/Pulse/PulseContext.h"
#include "Platform/Audio/Pulse/PulseError.h"
#include "VelmoraCore/AudioCapture/Devices/CAError.h"
#include "VelmoraCore/AudioCapture/Recording/StreamEndedError.h"
#include "VelmoraCore/AudioCapture/TwoTrack/PulseTapStream.h"

#include <pulse/def.h>

namespace velmora {

namespace {

std::vector<int> memberChannels(const std::vector<PulseAggregateDevice::Source>& sources,
                                const std::vector<std::shared_ptr<PulseTapStream>>& taps) {
    std::vector<int> channels;
    for (const auto& source : sources) {
        channels.push_back(int(source.channels));
    }
    for (const auto& tap : taps) {
        channels.push_back(tap->format().channels);
    }
    return channels;
}

} // namespace

PulseAggregateDevice::PulseAggregateDevice(std::shared_ptr<audio::PulseContext> context,
                                           const std::string& streamName, uint32_t sampleRate,
                                           const std::vector<Source>& sources,
                                           std::vector<std::shared_ptr<PulseTapStream>> taps)
    : context_(std::move(context)), sampleRate_(sampleRate),
      pairing_(memberChannels(sources, taps), int64_t(sampleRate) / 10,
               [this](InputBufferList buffers) {
                   if (handler_) {
                       handler_(buffers);
                   }
               }),
      taps_(std::move(taps)) {
    for (int channels : memberChannels(sources, taps_)) {
        channels_ += channels;
    }
    for (size_t i = 0; i < sources.size(); ++i) {
        sourceEnds_.push_back(std::make_unique<EndState>());
        audio::PulseCallbackRecordStream::Options options;
        options.sourceName = sources[i].name;
        options.sampleRate = sampleRate;
        options.channels = sources[i].channels;
        options.streamName = streamName;
        // A microphone's stream records an input or nothing, never what the machine plays.
        options.movesOnlyToInputs = true;
        sourceNames_.push_back(sources[i].name);
        EndState* end = sourceEnds_.back().get();
        streams_.push_back(std::make_unique<audio::PulseCallbackRecordStream>(
            context_, options, [this, i](const void* data, size_t bytes) { deliver(i, data, bytes); },
            [end](const audio::PulseError& error) {
                end->error = error.code();
                end->ended = true;
            }));
    }
    for (size_t t = 0; t < taps_.size(); ++t) {
        const size_t member = sources.size() + t;
        taps_[t]->setConsumer(
            [this, member](const void* data, size_t bytes) { deliver(member, data, bytes); });
    }
}

PulseAggregateDevice::~PulseAggregateDevice() {
    for (const auto& tap : taps_) {
        tap->setConsumer({});
    }
    streams_.clear();
}

void PulseAggregateDevice::start(InputHandler handler) {
    audio::PulseContext::Lock lock(*context_);
    if (const int error = endedMemberError(); error >= 0) {
        throw CAError::status("AudioDeviceStart", error);
    }
    // Whatever was queued before belongs to no recording: both tracks begin with the next fragments.
    pairing_.reset();
    handler_ = std::move(handler);
    started_ = true;
}

void PulseAggregateDevice::stop() {
    // Deliveries run under the loop's lock: once it is ours, none is running, and none passes the gate.
    audio::PulseContext::Lock lock(*context_);
    started_ = false;
    pairing_.reset();
}

bool PulseAggregateDevice::isRunning() {
    return started_ && endedMemberError() < 0;
}

void PulseAggregateDevice::deliver(size_t member, const void* data, size_t bytes) {
    if (started_) {
        pairing_.push(member, data, bytes);
    }
}

int PulseAggregateDevice::endedMemberError() const {
    const auto ended = endedMember();
    return ended ? ended->error : -1;
}

std::exception_ptr PulseAggregateDevice::endError() {
    const auto ended = endedMember();
    if (!ended) {
        return nullptr;
    }
    return std::make_exception_ptr(streamEndedError(ended->subject, audio::PulseError("pa_stream", ended->error)));
}

std::optional<PulseAggregateDevice::EndedMember> PulseAggregateDevice::endedMember() const {
    for (size_t i = 0; i < sourceEnds_.size(); ++i) {
        if (sourceEnds_[i]->ended) {
            const int error = sourceEnds_[i]->error;
            return EndedMember{"マイク " + sourceNames_[i], error > 0 ? error : PA_ERR_NOENTITY};
        }
    }
    for (const auto& tap : taps_) {
        if (tap->hasEnded()) {
            return EndedMember{"システム音声", tap->endError() > 0 ? tap->endError() : PA_ERR_NOENTITY};
        }
    }
    return std::nullopt;
}

} // namespace velmora
