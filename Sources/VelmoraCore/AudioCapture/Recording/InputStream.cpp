#include "VelmoraCore/AudioCapture/Recording/InputStream.h"

#include "Platform/Audio/Pulse/PulseCallbackRecordStream.h"
#include "Platform/Audio/Pulse/PulseContext.h"
#include "Platform/Audio/Pulse/PulseError.h"
#include "VelmoraCore/AudioCapture/Devices/CAError.h"
#include "VelmoraCore/AudioCapture/Recording/StreamEndedError.h"

#include <cmath>
#include <string>

namespace velmora {

namespace {

class PulseInputStream : public InputStream {
public:
    explicit PulseInputStream(std::unique_ptr<audio::PulseCallbackRecordStream> stream)
        : stream_(std::move(stream)) {}
    void stop() override { stream_->stop(); }
    uint64_t overruns() const override { return stream_->overruns(); }

private:
    std::unique_ptr<audio::PulseCallbackRecordStream> stream_;
};

} // namespace

std::unique_ptr<InputStream> openPulseInputStream(const std::string& deviceUID, double sampleRate, int channels,
                                                  InputStream::BufferHandler handler, InputStream::EndHandler onEnd) {
    audio::PulseCallbackRecordStream::Options options;
    options.sourceName = deviceUID;
    options.sampleRate = uint32_t(std::lround(sampleRate));
    options.channels = uint32_t(channels);
    options.streamName = "Microphone";
    // The user's voice or nothing: never what the machine plays.
    options.movesOnlyToInputs = true;
    auto ended = [deviceUID, onEnd = std::move(onEnd)](const audio::PulseError& error) {
        if (onEnd) {
            onEnd(std::make_exception_ptr(streamEndedError("マイク " + deviceUID, error)));
        }
    };
    try {
        return std::make_unique<PulseInputStream>(std::make_unique<audio::PulseCallbackRecordStream>(
            audio::PulseContext::shared(), options, std::move(handler), std::move(ended)));
    } catch (const audio::PulseError& error) {
        // The server's code alone does not tell a user what it refused, so the input's format and the
        // reason come with it.
        throw CAError::message("マイク " + deviceUID + " を " + std::to_string(channels) + " チャンネル・" +
                               std::to_string(options.sampleRate) + " Hz で開けません: " +
                               CAError::statusDescription(error.operation(), error.code()) + " (" +
                               error.libraryText() + ")");
    }
}

} // namespace velmora
