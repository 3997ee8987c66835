#include "Support/Audio/TestAudioFile.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/error.h>
}

namespace audiotest {

namespace {

void check(int code, const char* what) {
    if (code < 0) {
        char text[AV_ERROR_MAX_STRING_SIZE] = {};
        av_strerror(code, text, sizeof text);
        throw std::runtime_error(std::string(what) + ": " + text);
    }
}

struct Settings {
    const char* muxer;
    AVCodecID codec;
    AVSampleFormat sampleFormat;
};

Settings settingsFor(FileKind kind) {
    switch (kind) {
    case FileKind::wavS16:
        return {"wav", AV_CODEC_ID_PCM_S16LE, AV_SAMPLE_FMT_S16};
    case FileKind::wavF32:
        return {"wav", AV_CODEC_ID_PCM_F32LE, AV_SAMPLE_FMT_FLT};
    case FileKind::cafF32:
        return {"caf", AV_CODEC_ID_PCM_F32LE, AV_SAMPLE_FMT_FLT};
    case FileKind::m4aAac:
        return {"ipod", AV_CODEC_ID_AAC, AV_SAMPLE_FMT_FLTP};
    case FileKind::flac:
        return {"flac", AV_CODEC_ID_FLAC, AV_SAMPLE_FMT_S16};
    }
    throw std::logic_error("unknown file kind");
}

void fillFrame(AVFrame* frame, const Planes& planes, std::int64_t start, int count) {
    int channels = static_cast<int>(planes.size());
    for (int c = 0; c < channels; ++c) {
        for (int i = 0; i < count; ++i) {
            float v = planes[c][start + i];
            switch (frame->format) {
            case AV_SAMPLE_FMT_FLTP:
                reinterpret_cast<float*>(frame->data[c])[i] = v;
                break;
            case AV_SAMPLE_FMT_FLT:
                reinterpret_cast<float*>(frame->data[0])[i * channels + c] = v;
                break;
            case AV_SAMPLE_FMT_S16: {
                double scaled = std::clamp(std::lround(v * 32768.0), -32768L, 32767L);
                reinterpret_cast<int16_t*>(frame->data[0])[i * channels + c] = static_cast<int16_t>(scaled);
                break;
            }
            default:
                throw std::logic_error("unexpected sample format");
            }
        }
    }
}

void drain(AVCodecContext* encoder, AVFormatContext* output, AVStream* stream, AVPacket* packet) {
    while (true) {
        int code = avcodec_receive_packet(encoder, packet);
        if (code == AVERROR(EAGAIN) || code == AVERROR_EOF) {
            return;
        }
        check(code, "encode");
        av_packet_rescale_ts(packet, encoder->time_base, stream->time_base);
        packet->stream_index = stream->index;
        check(av_interleaved_write_frame(output, packet), "write packet");
    }
}

} // namespace

void writeAudioFile(const std::filesystem::path& path, FileKind kind, int sampleRate, const Planes& planes) {
    av_log_set_level(AV_LOG_ERROR);
    Settings settings = settingsFor(kind);
    int channels = static_cast<int>(planes.size());
    std::int64_t frames = planes.empty() ? 0 : static_cast<std::int64_t>(planes[0].size());

    AVFormatContext* output = nullptr;
    check(avformat_alloc_output_context2(&output, nullptr, settings.muxer, path.c_str()), "output");
    const AVCodec* codec = avcodec_find_encoder(settings.codec);
    AVCodecContext* encoder = avcodec_alloc_context3(codec);
    encoder->sample_fmt = settings.sampleFormat;
    encoder->sample_rate = sampleRate;
    encoder->time_base = AVRational{1, sampleRate};
    av_channel_layout_default(&encoder->ch_layout, channels);
    if (settings.codec == AV_CODEC_ID_AAC) {
        encoder->bit_rate = 64000 * channels;
    }
    if (output->oformat->flags & AVFMT_GLOBALHEADER) {
        encoder->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    }
    check(avcodec_open2(encoder, codec, nullptr), "open encoder");
    AVStream* stream = avformat_new_stream(output, nullptr);
    check(avcodec_parameters_from_context(stream->codecpar, encoder), "stream parameters");
    stream->time_base = encoder->time_base;
    check(avio_open(&output->pb, path.c_str(), AVIO_FLAG_WRITE), "create file");
    AVDictionary* options = nullptr;
    if (kind == FileKind::m4aAac) {
        // The default movie time scale (1/1000 s) would round the edit list's length.
        av_dict_set_int(&options, "movie_timescale", sampleRate, 0);
    }
    int written = avformat_write_header(output, &options);
    av_dict_free(&options);
    check(written, "write header");

    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    int frameSize = encoder->frame_size > 0 ? encoder->frame_size : 4096;
    for (std::int64_t start = 0; start < frames; start += frameSize) {
        int count = static_cast<int>(std::min<std::int64_t>(frameSize, frames - start));
        av_frame_unref(frame);
        frame->format = encoder->sample_fmt;
        frame->nb_samples = count;
        frame->sample_rate = sampleRate;
        check(av_channel_layout_copy(&frame->ch_layout, &encoder->ch_layout), "layout");
        check(av_frame_get_buffer(frame, 0), "frame buffer");
        fillFrame(frame, planes, start, count);
        frame->pts = start;
        check(avcodec_send_frame(encoder, frame), "send frame");
        drain(encoder, output, stream, packet);
    }
    check(avcodec_send_frame(encoder, nullptr), "flush");
    drain(encoder, output, stream, packet);
    check(av_write_trailer(output), "trailer");
    avio_closep(&output->pb);
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&encoder);
    avformat_free_context(output);
}

Planes sinePlanes(int channels, std::int64_t frames, int sampleRate, double frequency) {
    Planes planes(channels, std::vector<float>(frames));
    for (int c = 0; c < channels; ++c) {
        for (std::int64_t i = 0; i < frames; ++i) {
            planes[c][i] =
                static_cast<float>(0.1 * (c + 1) * std::sin(2 * M_PI * frequency * i / sampleRate));
        }
    }
    return planes;
}

Planes rampPlanes(int channels, std::int64_t frames, int period) {
    Planes planes(channels, std::vector<float>(frames));
    for (int c = 0; c < channels; ++c) {
        for (std::int64_t i = 0; i < frames; ++i) {
            planes[c][i] = static_cast<float>(i % period) / period - 0.5f + c / 100.0f;
        }
    }
    return planes;
}

void writeRawWav(const std::filesystem::path& path, std::uint32_t sampleRate, std::uint16_t channels,
                 std::uint16_t bits, const std::vector<float>& samples,
                 std::optional<std::uint32_t> dataBytes, std::optional<std::uint32_t> factFrames) {
    std::string data;
    for (const float sample : samples) {
        if (bits == 16) {
            const auto value =
                static_cast<std::int16_t>(std::clamp(std::lround(sample * 32767.0f), -32768L, 32767L));
            data.append(reinterpret_cast<const char*>(&value), sizeof value);
        } else {
            data.append(reinterpret_cast<const char*>(&sample), sizeof sample);
        }
    }
    std::string out;
    const auto put = [&out](std::uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) {
            out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
        }
    };
    const std::uint32_t block = channels * bits / 8u;
    out += "RIFF";
    put(0, 4); // set below
    out += "WAVEfmt ";
    put(16, 4);
    put(bits == 16 ? 1 : 3, 2);
    put(channels, 2);
    put(sampleRate, 4);
    put(sampleRate * block, 4);
    put(block, 2);
    put(bits, 2);
    if (factFrames) {
        out += "fact";
        put(4, 4);
        put(*factFrames, 4);
    }
    out += "data";
    put(dataBytes.value_or(static_cast<std::uint32_t>(data.size())), 4);
    out += data;
    const auto riff = static_cast<std::uint32_t>(out.size() - 8);
    for (int i = 0; i < 4; ++i) {
        out[4 + i] = static_cast<char>((riff >> (8 * i)) & 0xFF);
    }
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(out.data(), static_cast<std::streamsize>(out.size()));
    if (!file) {
        throw std::runtime_error("cannot write " + path.string());
    }
}

const char* extension(FileKind kind) {
    switch (kind) {
    case FileKind::wavS16:
    case FileKind::wavF32:
        return ".wav";
    case FileKind::cafF32:
        return ".caf";
    case FileKind::m4aAac:
        return ".m4a";
    case FileKind::flac:
        return ".flac";
    }
    return "";
}

} // namespace audiotest
