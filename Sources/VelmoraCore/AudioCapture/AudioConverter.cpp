#include "VelmoraCore/AudioCapture/AudioConverter.h"

#include "OrvaneCore/Errors/CancellationError.h"
#include "Platform/Audio/Files/AacFileWriter.h"
#include "Platform/Audio/Files/ContainerInfo.h"
#include "Platform/Audio/Files/EncoderSetupError.h"
#include "Platform/Audio/Files/PcmBuffer.h"
#include "Platform/Audio/Files/ResamplingReader.h"

#include <algorithm>
#include <cmath>
#include <iostream>
#include <memory>
#include <new>
#include <vector>

namespace velmora {

namespace {

constexpr double kMixSampleRate = 48000;
constexpr double kFallbackSampleRate = 48000;
constexpr std::uint32_t kBlockFrames = 16384;

void removeQuietly(const std::filesystem::path& path) {
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
}

// Deleting the destination first would delete the input itself.
void refuseSameFile(const std::filesystem::path& input, const std::filesystem::path& destination) {
    std::error_code ignored;
    if (std::filesystem::equivalent(input, destination, ignored)) {
        throw ConversionError::exportFailed("入力と出力が同じファイルです: " + destination.string());
    }
}

// Removes the destination on the way out unless the conversion got to its end.
class PartialOutput {
public:
    explicit PartialOutput(std::filesystem::path path) : path_(std::move(path)) {}
    ~PartialOutput() {
        if (!finished_) {
            removeQuietly(path_);
        }
    }
    PartialOutput(const PartialOutput&) = delete;
    PartialOutput& operator=(const PartialOutput&) = delete;
    void finished() { finished_ = true; }

private:
    std::filesystem::path path_;
    bool finished_ = false;
};

std::unique_ptr<audio::AacFileWriter> openM4A(const std::filesystem::path& path, double sampleRate,
                                              std::uint32_t channels) {
    try {
        return std::make_unique<audio::AacFileWriter>(path, audio::AacFileWriter::Container::m4a,
                                                      int(sampleRate), int(channels));
    } catch (const audio::EncoderSetupError&) {
        removeQuietly(path);
        throw ConversionError::exportSessionCreationFailed();
    }
}

std::shared_ptr<audio::PcmBuffer> makeBuffer(const audio::PcmFormat& format) {
    auto buffer = audio::PcmBuffer::create(format, kBlockFrames);
    if (buffer == nullptr) {
        throw std::bad_alloc();
    }
    return buffer;
}

// A source cut short or with samples replaced converts as far as it goes; the output cannot say so, so
// the conversion does, as a warning on standard error.
void warnAboutSource(const audio::AudioFileReader& source, const char* doing) {
    const std::string path = source.path().string();
    if (source.length() < source.statedLength()) {
        std::cerr << "warning: " << path << " ends early: it holds " << source.length() << " of the "
                  << source.statedLength() << " frames its header states; " << doing << " the "
                  << source.length() << std::endl;
    }
    if (source.nonFiniteSamples() > 0) {
        std::cerr << "warning: replaced " << source.nonFiniteSamples()
                  << " non-finite or out-of-range samples in " << path << std::endl;
    }
}

double aacSampleRate(double sourceRate) {
    const bool whole = sourceRate == std::floor(sourceRate) && sourceRate <= 2147483647.0;
    return whole && audio::AacFileWriter::isSupportedSampleRate(int(sourceRate)) ? sourceRate
                                                                                 : kFallbackSampleRate;
}

// Adds one input's block into the two sides. Mono plays on both sides and stereo keeps its sides. Of more
// channels, the first two keep their sides and every further one goes to both, each side being the mean of
// what it takes: a voice on any input of a multi-input microphone is heard, and the fold alone never
// clips (a microphone array's inputs, which all hear the same voice, fold to that voice's own level).
void addFoldedToStereo(const audio::PcmBuffer& block, std::uint32_t frames, float* left, float* right) {
    const std::uint32_t channels = block.channelCount();
    const auto addScaled = [frames](const float* from, float gain, float* to) {
        for (std::uint32_t f = 0; f < frames; ++f) {
            to[f] += gain * from[f];
        }
    };
    if (channels <= 2) {
        addScaled(block.channel(0), 1.0f, left);
        addScaled(block.channel(channels - 1), 1.0f, right);
        return;
    }
    const float gain = 1.0f / float(channels - 1);
    addScaled(block.channel(0), gain, left);
    addScaled(block.channel(1), gain, right);
    for (std::uint32_t c = 2; c < channels; ++c) {
        addScaled(block.channel(c), gain, left);
        addScaled(block.channel(c), gain, right);
    }
}

// Plays the inputs together from time zero into one stereo M4A at `sampleRate` (the inputs' rate): each
// input is folded into the two sides as above, the shorter input is followed by silence and the sum is
// clipped to full scale.
void writeStereoMix(std::vector<std::unique_ptr<audio::ResamplingReader>>& inputs, double sampleRate,
                    const std::filesystem::path& destination, std::stop_token stop, const char* doing) {
    std::vector<std::shared_ptr<audio::PcmBuffer>> blocks;
    for (const auto& input : inputs) {
        blocks.push_back(makeBuffer(input->format()));
    }
    // Asked again for every block: an input that ends before its stated length shortens, and the mix
    // ends with the longest input's audio rather than with silence up to a length no input holds.
    const auto length = [&inputs] {
        std::int64_t longest = 0;
        for (const auto& input : inputs) {
            longest = std::max(longest, input->length());
        }
        return longest;
    };

    auto writer = openM4A(destination, sampleRate, 2);
    PartialOutput output(destination);
    std::vector<float> left(kBlockFrames), right(kBlockFrames);
    const float* const stereo[] = {left.data(), right.data()};
    for (std::int64_t position = 0; position < length();) {
        orvane::throwIfCancelled(stop);
        auto frames = std::uint32_t(std::min<std::int64_t>(kBlockFrames, length() - position));
        std::fill_n(left.begin(), frames, 0.0f);
        std::fill_n(right.begin(), frames, 0.0f);
        // Every input is read from the same position, so each block of each input lines up; a shorter
        // input gives fewer frames (then none), which leaves silence.
        for (size_t i = 0; i < inputs.size(); ++i) {
            auto& block = *blocks[i];
            const std::uint32_t got = inputs[i]->read(block);
            if (got > 0) {
                addFoldedToStereo(block, got, left.data(), right.data());
            }
        }
        // An input that ended early within this block shortens it.
        frames = std::uint32_t(std::min<std::int64_t>(frames, length() - position));
        if (frames == 0) {
            break;
        }
        for (std::uint32_t f = 0; f < frames; ++f) {
            left[f] = std::clamp(left[f], -1.0f, 1.0f);
            right[f] = std::clamp(right[f], -1.0f, 1.0f);
        }
        writer->write(stereo, frames);
        position += frames;
    }
    writer->finish();
    output.finished();
    for (const auto& input : inputs) {
        warnAboutSource(input->source(), doing);
    }
}

} // namespace

void AudioConverter::convertToM4A(const std::filesystem::path& source, const std::filesystem::path& destination,
                                  std::stop_token stop) {
    refuseSameFile(source, destination);
    removeQuietly(destination);
    audio::AudioFileReader file(source);
    const double sampleRate = aacSampleRate(file.fileFormat().sampleRate);
    if (const auto channels = file.fileFormat().channelCount;
        channels > std::uint32_t(audio::AacFileWriter::maximumChannelCount)) {
        // More channels than AAC carries are folded into stereo as a mix folds an input; the output
        // cannot say so, so the conversion does.
        std::vector<std::unique_ptr<audio::ResamplingReader>> inputs;
        inputs.push_back(std::make_unique<audio::ResamplingReader>(std::move(file), sampleRate));
        writeStereoMix(inputs, sampleRate, destination, stop, "converting");
        std::cerr << "warning: " << source.string() << " was mixed down from " << channels
                  << " channels to stereo: AAC carries at most " << audio::AacFileWriter::maximumChannelCount
                  << std::endl;
        return;
    }
    audio::ResamplingReader reader(std::move(file), sampleRate);
    const auto& format = reader.format();
    auto writer = openM4A(destination, format.sampleRate, format.channelCount);
    PartialOutput output(destination);
    auto buffer = makeBuffer(format);
    while (const std::uint32_t frames = reader.read(*buffer)) {
        orvane::throwIfCancelled(stop);
        writer->write(buffer->planes(), frames);
    }
    writer->finish();
    output.finished();
    warnAboutSource(reader.source(), "converting");
}

void AudioConverter::mix(const std::filesystem::path& trackA, const std::filesystem::path& trackB,
                         const std::filesystem::path& destination, std::stop_token stop) {
    refuseSameFile(trackA, destination);
    refuseSameFile(trackB, destination);
    removeQuietly(destination);

    std::vector<std::unique_ptr<audio::ResamplingReader>> inputs;
    for (const auto& track : {trackA, trackB}) {
        if (audio::ContainerInfo::inspect(track).hasAudio) {
            inputs.push_back(std::make_unique<audio::ResamplingReader>(audio::AudioFileReader(track), kMixSampleRate));
        }
    }
    if (inputs.empty()) {
        throw ConversionError::exportFailed("どちらの入力にも音声トラックがありません");
    }
    writeStereoMix(inputs, kMixSampleRate, destination, stop, "mixing");
}

} // namespace velmora
