#include "Platform/Audio/Files/ResamplingReader.h"

#include "Platform/Audio/Files/AudioFileError.h"
#include "Platform/Audio/Files/Resampler.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

namespace audio {

namespace {

// Frames decoded per block: large enough to keep the per-call overhead small, small enough that a
// conversion holds a few hundred kilobytes whatever the file's length.
constexpr std::uint32_t kBlockFrames = 16384;

std::shared_ptr<PcmBuffer> makeBuffer(const PcmFormat& format, std::uint32_t frames) {
    auto buffer = PcmBuffer::create(format, frames);
    if (buffer == nullptr) {
        throw std::bad_alloc();
    }
    return buffer;
}

} // namespace

ResamplingReader::ResamplingReader(AudioFileReader file, double sampleRate) : reader_(std::move(file)) {
    const PcmFormat& source = reader_.processingFormat();
    const auto format = PcmFormat::standard(sampleRate, source.channelCount);
    if (!format) {
        throw AudioFileError("Cannot read audio file", reader_.path().string(),
                             "no sample rate " + std::to_string(sampleRate));
    }
    format_ = *format;
    input_ = makeBuffer(source, kBlockFrames);
    if (source.sampleRate == sampleRate) {
        length_ = reader_.length() - reader_.framePosition();
        staged_ = input_;
    } else {
        const double ratio = sampleRate / source.sampleRate;
        length_ = std::llround(double(reader_.length() - reader_.framePosition()) * ratio);
        resampler_ = std::make_unique<Resampler>(source, format_);
        // Room for a whole block's output plus the filter's delay; anything beyond waits in the resampler.
        staged_ = makeBuffer(format_, std::uint32_t(std::ceil(kBlockFrames * ratio)) + 256);
    }
    staged_->setFrameLength(0);
}

ResamplingReader::~ResamplingReader() = default;

bool ResamplingReader::stageMore() {
    stagedOffset_ = 0;
    while (true) {
        if (resampler_ == nullptr) {
            return reader_.read(*staged_) > 0;
        }
        if (!sourceEnded_) {
            if (reader_.read(*input_) == 0) {
                sourceEnded_ = true;
                continue;
            }
            if (resampler_->push(*input_, *staged_) > 0) {
                return true;
            }
            continue; // the filter is still filling
        }
        if (drained_) {
            return false;
        }
        if (resampler_->drain(*staged_) > 0) {
            return true;
        }
        drained_ = true;
    }
}

std::uint32_t ResamplingReader::read(PcmBuffer& buffer) {
    if (!(buffer.format() == format_)) {
        throw AudioFileError("Cannot read audio file", reader_.path().string(),
                             "a buffer of " + buffer.format().description() + " for reading at " +
                                 format_.description());
    }
    const auto wanted =
        std::uint32_t(std::min<std::int64_t>(buffer.frameCapacity(), std::max<std::int64_t>(0, length_ - position_)));
    std::uint32_t done = 0;
    while (done < wanted) {
        if (stagedOffset_ >= staged_->frameLength() && !stageMore()) {
            // Rounding of the new rate can leave the last frame or two without a converted sample.
            for (std::uint32_t c = 0; c < format_.channelCount; ++c)
                std::fill(buffer.channel(c) + done, buffer.channel(c) + wanted, 0.0f);
            done = wanted;
            break;
        }
        const std::uint32_t take = std::min(wanted - done, staged_->frameLength() - stagedOffset_);
        for (std::uint32_t c = 0; c < format_.channelCount; ++c)
            std::memcpy(buffer.channel(c) + done, staged_->channel(c) + stagedOffset_, take * sizeof(float));
        stagedOffset_ += take;
        done += take;
    }
    position_ += done;
    buffer.setFrameLength(done);
    return done;
}

} // namespace audio
