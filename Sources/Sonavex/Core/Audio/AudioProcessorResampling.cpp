// Channel mixing and sample-rate conversion of AudioProcessor.

#include "Platform/Audio/Files/AudioFileError.h"
#include "Sonavex/Core/Audio/AudioProcessor.h"
#include "Sonavex/Utilities/Errors/WhisperError.h"
#include "Sonavex/Utilities/Extensions/PcmBufferExtensions.h"
#include "Sonavex/Utilities/Logging/Logging.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

namespace sonavex {

namespace {

constexpr float mixingDivisorFloor = 0.0001f;

float peakMagnitude(const float* samples, std::uint32_t count) {
    float peak = 0;
    for (std::uint32_t i = 0; i < count; ++i) {
        peak = std::max(peak, std::abs(samples[i]));
    }
    return peak;
}

std::string twoDecimals(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.2f", value);
    return text;
}

} // namespace

AudioProcessor::Buffer AudioProcessor::convertToMono(const Buffer& buffer, const ChannelMode& mode) {
    const std::uint32_t channels = buffer->channelCount();
    const std::uint32_t frames = buffer->frameLength();
    if (channels < 2) {
        return buffer;
    }
    auto monoFormat = audio::PcmFormat::standard(buffer->format().sampleRate, 1);
    if (!monoFormat) {
        Logging::error("Failed to create AVAudioFormat object.");
        return nullptr;
    }
    auto mono = audio::PcmBuffer::create(*monoFormat, buffer->frameCapacity());
    if (!mono) {
        Logging::error("Failed to create mono buffer.");
        return nullptr;
    }
    mono->setFrameLength(frames);
    float* out = mono->channel(0);
    std::fill(out, out + frames, 0.0f);

    if (const auto* specific = std::get_if<AudioInputOptions::SpecificChannel>(&mode)) {
        std::int64_t index = specific->channel;
        auto source = index >= 0 && index < channels ? static_cast<std::uint32_t>(index) : 0u;
        std::memcpy(out, buffer->channel(source), frames * sizeof(float));
        return mono;
    }

    const auto& list = std::get<AudioInputOptions::SumChannels>(mode).channels;
    std::vector<std::uint32_t> selected;
    if (!list || list->empty()) {
        for (std::uint32_t c = 0; c < channels; ++c) {
            selected.push_back(c);
        }
    } else {
        for (std::int64_t index : *list) {
            if (index >= 0 && index < channels) {
                selected.push_back(static_cast<std::uint32_t>(index));
            }
        }
        if (selected.empty()) {
            std::memcpy(out, buffer->channel(0), frames * sizeof(float));
            Logging::debug("No valid channel indices provided, defaulting to first channel");
            return mono;
        }
    }

    float loudestPeak = 0;
    for (std::uint32_t channel : selected) {
        loudestPeak = std::max(loudestPeak, peakMagnitude(buffer->channel(channel), frames));
    }
    for (std::uint32_t channel : selected) {
        const float* in = buffer->channel(channel);
        for (std::uint32_t i = 0; i < frames; ++i) {
            out[i] += in[i];
        }
    }
    // Rescaled so the mix is as loud as its loudest channel; a silent mix stays silent.
    float scale = loudestPeak / std::max(peakMagnitude(out, frames), mixingDivisorFloor);
    for (std::uint32_t i = 0; i < frames; ++i) {
        out[i] *= scale;
    }
    return mono;
}

AudioProcessor::Buffer AudioProcessor::resampleBuffer(const audio::PcmBuffer& buffer,
                                                      audio::Resampler& converter) {
    double capacity =
        converter.outputFormat().sampleRate * buffer.frameLength() / converter.inputFormat().sampleRate;
    if (capacity != std::floor(capacity)) {
        // Ties go to the even neighbour (the default rounding mode).
        double rounded = std::max(std::nearbyint(capacity), 1.0);
        Logging::debug("Rounding buffer frame capacity from " + orvane::describing(capacity) + " to " +
                       orvane::describing(rounded) + " to better fit new sample rate");
        capacity = rounded;
    }
    if (!(capacity <= std::numeric_limits<std::uint32_t>::max())) {
        throw WhisperError::audioProcessingFailed("Failed to create converted buffer");
    }
    auto converted = audio::PcmBuffer::create(converter.outputFormat(), static_cast<std::uint32_t>(capacity));
    if (!converted) {
        throw WhisperError::audioProcessingFailed("Failed to create converted buffer");
    }
    try {
        // The input goes in once and the filter is drained; the result keeps the length above, cut or
        // padded with the zeros the new buffer holds.
        converter.convert(buffer, *converted);
    } catch (const audio::AudioFileError& error) {
        throw WhisperError::audioProcessingFailed(std::string("Error converting audio: ") + error.what());
    }
    converted->setFrameLength(converted->frameCapacity());
    return converted;
}

AudioProcessor::Buffer AudioProcessor::resampleAudio(const audio::PcmBuffer& fromBuffer, double toSampleRate,
                                                     std::uint32_t channelCount) {
    auto outputFormat = audio::PcmFormat::standard(toSampleRate, channelCount);
    if (!outputFormat) {
        Logging::error("Failed to create output audio format");
        return nullptr;
    }
    std::unique_ptr<audio::Resampler> converter;
    try {
        converter = std::make_unique<audio::Resampler>(fromBuffer.format(), *outputFormat);
    } catch (const audio::AudioFileError&) {
        Logging::error("Failed to create audio converter");
        return nullptr;
    }
    try {
        return resampleBuffer(fromBuffer, *converter);
    } catch (const WhisperError& error) {
        Logging::error(std::string("Failed to resample buffer: ") + error.what());
        return nullptr;
    }
}

AudioProcessor::Buffer AudioProcessor::resampleAudio(audio::AudioFileReader& fromFile, double toSampleRate,
                                                     std::uint32_t channelCount,
                                                     const ChannelMode& channelMode,
                                                     std::optional<std::uint32_t> frameCount,
                                                     std::uint32_t maxReadFrameSize) {
    const double rate = fromFile.fileFormat().sampleRate;
    const std::int64_t length = fromFile.length();
    const std::int64_t start = fromFile.framePosition();
    if (!frameCount && length > std::numeric_limits<std::uint32_t>::max()) {
        Logging::error("Audio file is too long to resample at once: " + std::to_string(length) +
                       " frames, at most 4294967295");
        return nullptr;
    }
    const std::int64_t frames = frameCount ? *frameCount : length;
    // Bounded by the length itself: a read at the end of the file has nothing to give.
    const std::int64_t end = std::min(start + frames, length);

    auto outputFormat = audio::PcmFormat::standard(toSampleRate, channelCount);
    if (!outputFormat) {
        Logging::error("Failed to create output audio format");
        return nullptr;
    }
    Logging::debug("Resampling " + twoDecimals(frames / rate) + " seconds of audio");
    double capacity = std::trunc(frames / rate * outputFormat->sampleRate);
    auto output = capacity <= std::numeric_limits<std::uint32_t>::max()
                      ? audio::PcmBuffer::create(*outputFormat, static_cast<std::uint32_t>(capacity))
                      : nullptr;
    if (!output) {
        Logging::error("Failed to create output buffer");
        return nullptr;
    }
    // No larger than the stretch: a file of one frame gets a read buffer of one frame, whatever its
    // channel count.
    const auto readFrames = static_cast<std::uint32_t>(
        std::clamp<std::int64_t>(end - start, 1, std::max<std::uint32_t>(maxReadFrameSize, 1)));
    auto readBuffer =
        maxReadFrameSize > 0 ? audio::PcmBuffer::create(fromFile.processingFormat(), readFrames) : nullptr;
    if (!readBuffer) {
        Logging::error("Failed to create read buffer of " + std::to_string(maxReadFrameSize) + " frames");
        return nullptr;
    }

    std::int64_t current = start;
    while (current < end) {
        std::int64_t position = fromFile.framePosition();
        auto take = static_cast<std::uint32_t>(std::min<std::int64_t>(end - position, readFrames));
        current = position + take;
        Logging::debug("Resampling " + twoDecimals(position / rate) + "s - " + twoDecimals(current / rate) +
                       "s");
        try {
            if (fromFile.read(*readBuffer, take) == 0) {
                break;
            }
        } catch (const audio::AudioFileError& error) {
            Logging::error(std::string("Error reading audio file: ") + error.what());
            return nullptr;
        }
        auto mono = convertToMono(readBuffer, channelMode);
        if (!mono) {
            Logging::error("Failed to process audio channels");
            return nullptr;
        }
        auto converted = resampleAudio(*mono, outputFormat->sampleRate, outputFormat->channelCount);
        if (!converted) {
            Logging::error("Failed to resample audio chunk");
            return nullptr;
        }
        if (!appendContents(*output, *converted, 0, converted->frameLength())) {
            Logging::error("Failed to append audio chunk");
            return nullptr;
        }
    }
    return output;
}

} // namespace sonavex
