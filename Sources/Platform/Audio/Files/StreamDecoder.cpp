#include "Platform/Audio/Files/StreamDecoder.h"

#include "Platform/Audio/Files/AudioFileError.h"
#include "Platform/Audio/Files/AudioFileLimits.h"
#include "Platform/Audio/Files/DataChunkLength.h"
#include "Platform/Audio/Files/LibraryLog.h"

#include <algorithm>
#include <cmath>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
}

namespace audio {

namespace {

constexpr const char* openOperation = "Cannot open audio file";
constexpr const char* readOperation = "Cannot read audio file";

template <class Sample>
void copyPacked(const AVFrame* frame, std::vector<std::vector<float>>& planes, int channels, float scale,
                float offset) {
    const auto* samples = reinterpret_cast<const Sample*>(frame->extended_data[0]);
    for (int c = 0; c < channels; ++c) {
        float* out = planes[c].data();
        for (int i = 0; i < frame->nb_samples; ++i) {
            out[i] = (static_cast<float>(samples[i * channels + c]) - offset) * scale;
        }
    }
}

template <class Sample>
void copyPlanar(const AVFrame* frame, std::vector<std::vector<float>>& planes, int channels, float scale,
                float offset) {
    for (int c = 0; c < channels; ++c) {
        const auto* samples = reinterpret_cast<const Sample*>(frame->extended_data[c]);
        float* out = planes[c].data();
        for (int i = 0; i < frame->nb_samples; ++i) {
            out[i] = (static_cast<float>(samples[i]) - offset) * scale;
        }
    }
}

bool indexRunsPastEnd(AVFormatContext* format, AVStream* stream) {
    const int entries = avformat_index_get_entries_count(stream);
    const std::int64_t fileSize = format->pb != nullptr ? avio_size(format->pb) : -1;
    if (entries == 0 || fileSize < 0) {
        return false;
    }
    const AVIndexEntry* last = avformat_index_get_entry(stream, entries - 1);
    return last != nullptr && last->pos + last->size > fileSize;
}

/// Refuses a layout the reader does not take, before anything is sized from it. `known` false lets a
/// rate or channel count of 0 pass (the decoder may still find it).
void checkLayout(const std::filesystem::path& path, int sampleRate, int channels, bool known = true) {
    if (!known) {
        sampleRate = sampleRate <= 0 ? minimumFileSampleRate : sampleRate;
        channels = channels <= 0 ? 1 : channels;
    }
    if (sampleRate <= 0 || channels <= 0) {
        throw AudioFileError(openOperation, path.string(), "the audio stream has no sample rate or channels");
    }
    if (sampleRate < minimumFileSampleRate || sampleRate > maximumFileSampleRate) {
        throw AudioFileError(openOperation, path.string(),
                             "the sample rate " + std::to_string(sampleRate) + " Hz is outside " +
                                 std::to_string(minimumFileSampleRate) + " to " +
                                 std::to_string(maximumFileSampleRate) + " Hz");
    }
    if (channels > maximumFileChannelCount) {
        throw AudioFileError(openOperation, path.string(),
                             "the file has " + std::to_string(channels) + " channels, at most " +
                                 std::to_string(maximumFileChannelCount) + " are read");
    }
}

} // namespace

StreamDecoder::StreamDecoder(const std::filesystem::path& path) : path_(path) {
    quietLibraryLog();
    try {
        int code = avformat_open_input(&format_, path.c_str(), nullptr, nullptr);
        if (code < 0) {
            throw AudioFileError(openOperation, path.string(), code);
        }
        if ((code = avformat_find_stream_info(format_, nullptr)) < 0) {
            throw AudioFileError(openOperation, path.string(), code);
        }
        const AVCodec* codec = nullptr;
        streamIndex_ = av_find_best_stream(format_, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
        if (streamIndex_ < 0) {
            throw AudioFileError(openOperation, path.string(), streamIndex_);
        }
        AVStream* stream = format_->streams[streamIndex_];
        // The decoder may size its own state from the layout: the container's view is checked first.
        checkLayout(path, stream->codecpar->sample_rate, stream->codecpar->ch_layout.nb_channels, false);
        codec_ = avcodec_alloc_context3(codec);
        if (codec_ == nullptr) {
            throw AudioFileError(openOperation, path.string(), AVERROR(ENOMEM));
        }
        if ((code = avcodec_parameters_to_context(codec_, stream->codecpar)) < 0 ||
            (code = avcodec_open2(codec_, codec, nullptr)) < 0) {
            throw AudioFileError(openOperation, path.string(), code);
        }
        sampleRate_ = codec_->sample_rate;
        channelCount_ = codec_->ch_layout.nb_channels;
        checkLayout(path, sampleRate_, channelCount_);
        // A length guessed from the bit rate is not a count of frames; the reader counts those itself.
        if (format_->duration_estimation_method != AVFMT_DURATION_FROM_BITRATE) {
            if (stream->duration != AV_NOPTS_VALUE && stream->duration >= 0) {
                statedLength_ = av_rescale_q(stream->duration, stream->time_base, AVRational{1, sampleRate_});
            } else if (format_->duration != AV_NOPTS_VALUE && format_->duration >= 0) {
                // Spelled out: AV_TIME_BASE_Q is a C compound literal, which C++ does not have.
                statedLength_ =
                    av_rescale_q(format_->duration, AVRational{1, AV_TIME_BASE}, AVRational{1, sampleRate_});
            }
        }
        // A first time stamp before zero marks encoder delay the library leaves in the decoded audio (a
        // fragmented MP4's edit list moves only the time stamps): those frames are dropped, and the
        // stated duration, which counts from the first time stamp, shrinks by them.
        if (stream->start_time != AV_NOPTS_VALUE && stream->start_time < 0) {
            preRoll_ = av_rescale_q(-stream->start_time, stream->time_base, AVRational{1, sampleRate_});
            if (statedLength_) {
                statedLength_ = std::max<std::int64_t>(0, *statedLength_ - preRoll_);
            }
        }
        preRollLeft_ = preRoll_;
        declaredLength_ = statedLength_;
        // A file cut off mid-write can still index packets it no longer holds: its stated length is not
        // what it holds, so the reader counts.
        if (statedLength_ && indexRunsPastEnd(format_, stream)) {
            statedLength_.reset();
        }
        if (!declaredLength_) {
            declaredLength_ = dataChunkFrames(path);
        }
        packet_ = av_packet_alloc();
        frame_ = av_frame_alloc();
        if (packet_ == nullptr || frame_ == nullptr) {
            throw AudioFileError(openOperation, path.string(), AVERROR(ENOMEM));
        }
    } catch (...) {
        close();
        throw;
    }
}

StreamDecoder::~StreamDecoder() {
    close();
}

void StreamDecoder::close() {
    av_frame_free(&frame_);
    av_packet_free(&packet_);
    avcodec_free_context(&codec_);
    avformat_close_input(&format_);
}

std::string StreamDecoder::codecName() const {
    return codec_->codec->name;
}

std::size_t StreamDecoder::decodeNext(std::vector<std::vector<float>>& planes) {
    while (!decoderEnded_) {
        int code = avcodec_receive_frame(codec_, frame_);
        if (code == 0) {
            std::size_t frames = copyFrame(planes);
            av_frame_unref(frame_);
            if (preRollLeft_ > 0 && frames > 0) {
                const auto drop = static_cast<std::size_t>(std::min<std::int64_t>(preRollLeft_, frames));
                for (auto& plane : planes) {
                    plane.erase(plane.begin(), plane.begin() + static_cast<std::ptrdiff_t>(drop));
                }
                preRollLeft_ -= static_cast<std::int64_t>(drop);
                frames -= drop;
            }
            if (frames > 0) {
                return frames;
            }
            continue;
        }
        if (code == AVERROR_EOF) {
            decoderEnded_ = true;
            break;
        }
        if (code == AVERROR_INVALIDDATA && sentTornPacket_) {
            // What is left of the torn packet holds no whole frame: the audio ends here.
            decoderEnded_ = true;
            break;
        }
        if (code != AVERROR(EAGAIN)) {
            throw AudioFileError(readOperation, path_.string(), code);
        }
        if (inputEnded_) {
            // The decoder was already told that no more input comes.
            decoderEnded_ = true;
            break;
        }
        code = av_read_frame(format_, packet_);
        if (code == AVERROR_EOF) {
            inputEnded_ = true;
            if ((code = avcodec_send_packet(codec_, nullptr)) < 0) {
                throw AudioFileError(readOperation, path_.string(), code);
            }
            continue;
        }
        if (code < 0) {
            throw AudioFileError(readOperation, path_.string(), code);
        }
        // The library marks a packet cut short by the end of the file; only a file cut off mid-write
        // has one. Containers without packet sizes (raw FLAC, MP3) hand the bytes up to the end of the
        // file as the last packet without a mark: a packet that ran into the end counts as torn too,
        // which only matters when it does not decode.
        const bool torn =
            (packet_->flags & AV_PKT_FLAG_CORRUPT) != 0 || (format_->pb != nullptr && avio_feof(format_->pb));
        if (packet_->stream_index == streamIndex_) {
            code = avcodec_send_packet(codec_, packet_);
            sentTornPacket_ = sentTornPacket_ || torn;
        }
        av_packet_unref(packet_);
        if (code == AVERROR_INVALIDDATA && torn) {
            // The short last packet of a file cut off mid-write: the audio ends with the packet before.
            inputEnded_ = true;
            code = avcodec_send_packet(codec_, nullptr);
        }
        if (code < 0) {
            throw AudioFileError(readOperation, path_.string(), code);
        }
    }
    return 0;
}

void StreamDecoder::replaceNonFinite(std::vector<std::vector<float>>& planes, std::size_t frames) {
    for (auto& plane : planes) {
        for (std::size_t i = 0; i < frames; ++i) {
            if (!std::isfinite(plane[i])) {
                plane[i] = 0;
                ++nonFiniteSamples_;
            } else if (std::fabs(plane[i]) > maximumSampleMagnitude) {
                plane[i] = std::copysign(maximumSampleMagnitude, plane[i]);
                ++nonFiniteSamples_;
            }
        }
    }
}

std::size_t StreamDecoder::copyFrame(std::vector<std::vector<float>>& planes) {
    if (frame_->ch_layout.nb_channels != channelCount_ || frame_->sample_rate != sampleRate_) {
        throw AudioFileError(readOperation, path_.string(), "the stream changes its rate or channel count");
    }
    std::size_t frames = static_cast<std::size_t>(frame_->nb_samples);
    planes.resize(channelCount_);
    for (auto& plane : planes) {
        plane.resize(frames);
    }
    int channels = channelCount_;
    switch (static_cast<AVSampleFormat>(frame_->format)) {
    case AV_SAMPLE_FMT_U8:
        copyPacked<uint8_t>(frame_, planes, channels, 1.0f / 128, 128);
        break;
    case AV_SAMPLE_FMT_U8P:
        copyPlanar<uint8_t>(frame_, planes, channels, 1.0f / 128, 128);
        break;
    case AV_SAMPLE_FMT_S16:
        copyPacked<int16_t>(frame_, planes, channels, 1.0f / 32768, 0);
        break;
    case AV_SAMPLE_FMT_S16P:
        copyPlanar<int16_t>(frame_, planes, channels, 1.0f / 32768, 0);
        break;
    case AV_SAMPLE_FMT_S32:
        copyPacked<int32_t>(frame_, planes, channels, 1.0f / 2147483648.0f, 0);
        break;
    case AV_SAMPLE_FMT_S32P:
        copyPlanar<int32_t>(frame_, planes, channels, 1.0f / 2147483648.0f, 0);
        break;
    case AV_SAMPLE_FMT_S64:
        copyPacked<int64_t>(frame_, planes, channels, 1.0f / 9223372036854775808.0f, 0);
        break;
    case AV_SAMPLE_FMT_S64P:
        copyPlanar<int64_t>(frame_, planes, channels, 1.0f / 9223372036854775808.0f, 0);
        break;
    case AV_SAMPLE_FMT_FLT:
        copyPacked<float>(frame_, planes, channels, 1.0f, 0);
        break;
    case AV_SAMPLE_FMT_FLTP:
        copyPlanar<float>(frame_, planes, channels, 1.0f, 0);
        break;
    case AV_SAMPLE_FMT_DBL:
        copyPacked<double>(frame_, planes, channels, 1.0f, 0);
        break;
    case AV_SAMPLE_FMT_DBLP:
        copyPlanar<double>(frame_, planes, channels, 1.0f, 0);
        break;
    default:
        throw AudioFileError(readOperation, path_.string(), "the decoder gives an unknown sample format");
    }
    // Only float samples can be NaN, infinite or far beyond full scale (a double also overflows to
    // infinity as a float); one such sample would poison every level, spectrum and mix computed from the
    // block, or turn infinite there.
    const auto format = static_cast<AVSampleFormat>(frame_->format);
    if (format == AV_SAMPLE_FMT_FLT || format == AV_SAMPLE_FMT_FLTP || format == AV_SAMPLE_FMT_DBL ||
        format == AV_SAMPLE_FMT_DBLP) {
        replaceNonFinite(planes, frames);
    }
    return frames;
}

} // namespace audio
