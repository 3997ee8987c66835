#include "Platform/Audio/Files/Resampler.h"

#include "Platform/Audio/Files/AudioFileError.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

namespace audio {

namespace {

constexpr const char* operation = "Cannot convert sample rate";

int wholeRate(double rate) {
    if (rate != std::floor(rate) || rate < 1 || rate > 2147483647.0) {
        throw AudioFileError(operation, "",
                             "the library takes whole sample rates, not " + std::to_string(rate));
    }
    return static_cast<int>(rate);
}

} // namespace

Resampler::Resampler(const PcmFormat& input, const PcmFormat& output) : input_(input), output_(output) {
    if (input.channelCount != output.channelCount || input.channelCount == 0) {
        throw AudioFileError(operation, "",
                             "from " + input.description() + " to " + output.description() +
                                 ": channel counts must match");
    }
    if (input.sampleRate == output.sampleRate) {
        return; // copied as it is
    }
    AVChannelLayout layout;
    av_channel_layout_default(&layout, static_cast<int>(input.channelCount));
    int code = swr_alloc_set_opts2(&context_, &layout, AV_SAMPLE_FMT_FLTP, wholeRate(output.sampleRate),
                                   &layout, AV_SAMPLE_FMT_FLTP, wholeRate(input.sampleRate), 0, nullptr);
    av_channel_layout_uninit(&layout);
    if (code < 0) {
        throw AudioFileError(operation, "", code);
    }
    reset();
}

Resampler::~Resampler() {
    swr_free(&context_);
}

void Resampler::reset() {
    int code = swr_init(context_);
    if (code < 0) {
        swr_free(&context_);
        throw AudioFileError(operation, "", code);
    }
}

void Resampler::checkFormats(const PcmBuffer& input, const PcmBuffer& output) const {
    if (!(input.format() == input_) || !(output.format() == output_)) {
        throw AudioFileError(operation, "",
                             "buffers of " + input.format().description() + " and " +
                                 output.format().description() + " for a conversion from " +
                                 input_.description() + " to " + output_.description());
    }
}

std::uint32_t Resampler::push(const PcmBuffer& input, PcmBuffer& output) {
    checkFormats(input, output);
    if (context_ == nullptr) {
        if (input.frameLength() > output.frameCapacity()) {
            throw AudioFileError(operation, "",
                                 "a stretch of " + std::to_string(input.frameLength()) +
                                     " frames into a buffer of " + std::to_string(output.frameCapacity()));
        }
        for (std::uint32_t c = 0; c < output_.channelCount; ++c) {
            std::memcpy(output.channel(c), input.channel(c), input.frameLength() * sizeof(float));
        }
        output.setFrameLength(input.frameLength());
        return input.frameLength();
    }
    return run(&input, output);
}

std::uint32_t Resampler::drain(PcmBuffer& output) {
    if (!(output.format() == output_)) {
        throw AudioFileError(operation, "",
                             "a buffer of " + output.format().description() + " for output in " +
                                 output_.description());
    }
    if (context_ == nullptr) {
        output.setFrameLength(0);
        return 0;
    }
    const std::uint32_t done = run(nullptr, output);
    if (done == 0) {
        reset();
    }
    return done;
}

std::uint32_t Resampler::run(const PcmBuffer* input, PcmBuffer& output) {
    if (input != nullptr && input->frameLength() > INT32_MAX) {
        throw AudioFileError(operation, "", "a stretch of more than 2147483647 frames");
    }
    std::vector<std::uint8_t*> out(output_.channelCount);
    std::vector<const std::uint8_t*> in(input_.channelCount);
    for (std::uint32_t c = 0; c < output_.channelCount; ++c) {
        out[c] = reinterpret_cast<std::uint8_t*>(output.channel(c));
        if (input != nullptr) {
            in[c] = reinterpret_cast<const std::uint8_t*>(input->channel(c));
        }
    }
    const int produced =
        swr_convert(context_, out.data(), static_cast<int>(std::min<std::uint32_t>(output.frameCapacity(), INT32_MAX)),
                    input != nullptr ? in.data() : nullptr,
                    input != nullptr ? static_cast<int>(input->frameLength()) : 0);
    if (produced < 0) {
        throw AudioFileError(operation, "", produced);
    }
    output.setFrameLength(static_cast<std::uint32_t>(produced));
    return static_cast<std::uint32_t>(produced);
}

std::uint32_t Resampler::convert(const PcmBuffer& input, PcmBuffer& output) {
    checkFormats(input, output);
    if (input.frameLength() > INT32_MAX) {
        throw AudioFileError(operation, "", "a stretch of more than 2147483647 frames");
    }
    std::uint32_t capacity = output.frameCapacity();
    if (context_ == nullptr) {
        std::uint32_t frames = std::min(input.frameLength(), capacity);
        for (std::uint32_t c = 0; c < output_.channelCount; ++c) {
            std::memcpy(output.channel(c), input.channel(c), frames * sizeof(float));
        }
        output.setFrameLength(frames);
        return frames;
    }

    std::vector<std::uint8_t*> out(output_.channelCount);
    std::vector<const std::uint8_t*> in(input_.channelCount);
    for (std::uint32_t c = 0; c < output_.channelCount; ++c) {
        in[c] = reinterpret_cast<const std::uint8_t*>(input.channel(c));
    }
    auto pointTo = [&](std::uint32_t frame) {
        for (std::uint32_t c = 0; c < output_.channelCount; ++c) {
            out[c] = reinterpret_cast<std::uint8_t*>(output.channel(c) + frame);
        }
    };

    // The input goes in once; then the filter's tail is drained with empty input.
    pointTo(0);
    int produced =
        swr_convert(context_, out.data(), static_cast<int>(std::min<std::uint32_t>(capacity, INT32_MAX)),
                    in.data(), static_cast<int>(input.frameLength()));
    std::uint32_t done = 0;
    if (produced >= 0) {
        done = static_cast<std::uint32_t>(produced);
        while (done < capacity) {
            pointTo(done);
            produced = swr_convert(context_, out.data(), static_cast<int>(capacity - done), nullptr, 0);
            if (produced <= 0) {
                break;
            }
            done += static_cast<std::uint32_t>(produced);
        }
    }
    // Whatever the library still holds (output cut at capacity) is dropped with the old state.
    reset();
    if (produced < 0) {
        throw AudioFileError(operation, "", produced);
    }
    output.setFrameLength(done);
    return done;
}

} // namespace audio
