#include "VelmoraCore/AudioCapture/TwoTrack/PulseTapStream.h"

#include "Platform/Audio/Pulse/PulseCallbackRecordStream.h"
#include "Platform/Audio/Pulse/PulseContext.h"
#include "Platform/Audio/Pulse/PulseError.h"

namespace velmora {

PulseTapStream::PulseTapStream(std::shared_ptr<audio::PulseContext> context, const std::string& monitorName,
                               uint32_t sampleRate, uint32_t channels, const std::string& streamName)
    : context_(std::move(context)), format_{int(channels), double(sampleRate)} {
    audio::PulseCallbackRecordStream::Options options;
    options.sourceName = monitorName;
    options.sampleRate = sampleRate;
    options.channels = channels;
    options.streamName = streamName;
    // A tap of another output than the one it was made for would record the wrong side.
    options.staysOnSource = true;
    stream_ = std::make_unique<audio::PulseCallbackRecordStream>(
        context_, options,
        [this](const void* data, size_t bytes) {
            if (consumer_) {
                consumer_(data, bytes);
            }
        },
        [this](const audio::PulseError& error) {
            endError_ = error.code();
            ended_ = true;
        });
}

PulseTapStream::~PulseTapStream() {
    stream_.reset();
}

void PulseTapStream::setConsumer(Consumer consumer) {
    audio::PulseContext::Lock lock(*context_);
    consumer_ = std::move(consumer);
}

} // namespace velmora
