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
// Room beyond a block's converted frames for the filter's delay; anything beyond waits in the resampler.
constexpr std::uint32_t kFilterRoom = 256;

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
    sourceStart_ = reader_.framePosition();
    sourceLength_ = reader_.length();
    // Blocks are never larger than what the file can still give: a short file gets small buffers.
    const auto remaining = std::max<std::int64_t>(1, sourceLength_ - sourceStart_);
    if (source.sampleRate == sampleRate) {
        length_ = sourceLength_ - sourceStart_;
        input_ = makeBuffer(source, std::uint32_t(std::min<std::int64_t>(kBlockFrames, remaining)));
        staged_ = input_;
    } else {
        ratio_ = sampleRate / source.sampleRate;
        length_ = std::llround(double(sourceLength_ - sourceStart_) * ratio_);
        // A block's converted frames stay within one block's worth whatever the ratio: a high ratio
        // takes fewer frames per block.
        const double perBlock = std::clamp(std::floor(kBlockFrames / ratio_), 1.0, double(kBlockFrames));
        const auto block = std::uint32_t(std::min<std::int64_t>(std::int64_t(perBlock), remaining));
        input_ = makeBuffer(source, block);
        resampler_ = std::make_unique<Resampler>(source, format_);
        staged_ = makeBuffer(format_, std::uint32_t(std::ceil(block * ratio_)) + kFilterRoom);
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

void ResamplingReader::settleLength(std::int64_t delivered) {
    if (reader_.length() < sourceLength_) {
        const auto held =
            std::llround(double(std::max<std::int64_t>(0, reader_.length() - sourceStart_)) * ratio_);
        length_ = std::max<std::int64_t>(delivered, held);
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
            settleLength(position_ + done);
            // Rounding of the new rate can leave the last frame or two without a converted sample.
            const auto end = std::uint32_t(std::clamp<std::int64_t>(length_ - position_, done, wanted));
            for (std::uint32_t c = 0; c < format_.channelCount; ++c)
                std::fill(buffer.channel(c) + done, buffer.channel(c) + end, 0.0f);
            done = end;
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
