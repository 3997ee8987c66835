#include "Platform/Audio/Files/AacFileWriter.h"

#include "Platform/Audio/Files/AudioFileError.h"
#include "Platform/Audio/Files/EncoderSetupError.h"
#include "Platform/Audio/Files/LibraryLog.h"

#include <algorithm>
#include <array>
#include <stdexcept>
#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
#include <libavutil/error.h>
#include <libavutil/opt.h>
}

namespace audio {

namespace {

[[noreturn]] void throwSetup(const std::string& what, int error = 0) {
    throw EncoderSetupError(error == 0 ? what : what + ": " + AudioFileError::libraryMessage(error));
}

[[noreturn]] void throwWrite(const std::filesystem::path& path, const std::string& operation, int error) {
    throw AudioFileError(operation, path.string(), error);
}

// The encoder gives the cause of a refusal (input that is not finite, say) only in its log, which is
// cleared before each call to it so that the message names this refusal's cause.
[[noreturn]] void throwEncode(const std::filesystem::path& path, int error) {
    throw AudioFileError("Cannot encode audio file", path.string(), error, takeLibraryError());
}

// Frames are gathered through a fixed array of pointers, one per channel.
constexpr int kMaxChannels = AacFileWriter::maximumChannelCount;

constexpr int kSupportedRates[] = {96000, 88200, 64000, 48000, 44100, 32000, 24000,
                                   22050, 16000, 12000, 11025, 8000,  7350};

// The layout the encoder is told for each channel count. The library's default layouts for 3, 6 and 8
// channels hold a low-frequency channel, which AAC carries band-limited: a voice on that input would be
// lost. Our sources are microphones and captures, not surround mixes, so every count gets a layout of
// full-range channels only (the encoder describes those it has no standard form for in a program
// configuration element, which decoders read back in the same channel order).
constexpr uint64_t kFullRangeLayouts[kMaxChannels] = {
    AV_CH_LAYOUT_MONO,         AV_CH_LAYOUT_STEREO,  AV_CH_LAYOUT_SURROUND, AV_CH_LAYOUT_4POINT0,
    AV_CH_LAYOUT_5POINT0_BACK, AV_CH_LAYOUT_6POINT0, AV_CH_LAYOUT_7POINT0,  AV_CH_LAYOUT_OCTAGONAL,
};

} // namespace

struct AacFileWriter::State {
    std::filesystem::path path;
    AVFormatContext* format = nullptr;
    AVCodecContext* codec = nullptr;
    AVStream* stream = nullptr;
    AVAudioFifo* fifo = nullptr;
    AVFrame* frame = nullptr;
    AVPacket* packet = nullptr;
    bool headerWritten = false;
    bool finished = false;
    int64_t framesIn = 0;   // frames handed to write()
    int64_t framesSent = 0; // frames handed to the encoder: the next frame's time stamp

    ~State() {
        if (format != nullptr && headerWritten && !finished) {
            // Close as far as we got: a fragmented file stays playable up to its last fragment.
            av_write_trailer(format);
        }
        if (format != nullptr && format->pb != nullptr && !(format->oformat->flags & AVFMT_NOFILE)) {
            avio_closep(&format->pb);
        }
        avformat_free_context(format);
        avcodec_free_context(&codec);
        av_audio_fifo_free(fifo);
        av_frame_free(&frame);
        av_packet_free(&packet);
    }

    void drainPackets() {
        while (true) {
            takeLibraryError();
            const int received = avcodec_receive_packet(codec, packet);
            if (received == AVERROR(EAGAIN) || received == AVERROR_EOF) {
                return;
            }
            if (received < 0) {
                throwEncode(path, received);
            }
            av_packet_rescale_ts(packet, codec->time_base, stream->time_base);
            packet->stream_index = stream->index;
            const int written = av_write_frame(format, packet);
            av_packet_unref(packet);
            if (written < 0) {
                throwWrite(path, "Cannot write audio file", written);
            }
        }
    }

    // Hands `count` frames from the FIFO to the encoder (the last frame may be short).
    void sendFromFifo(int count) {
        // A fresh buffer per frame: the encoder may keep a reference to the previous one.
        frame->format = AV_SAMPLE_FMT_FLTP;
        frame->sample_rate = codec->sample_rate;
        frame->nb_samples = count;
        if (av_channel_layout_copy(&frame->ch_layout, &codec->ch_layout) < 0 ||
            av_frame_get_buffer(frame, 0) < 0) {
            throw std::bad_alloc();
        }
        av_audio_fifo_read(fifo, reinterpret_cast<void**>(frame->data), count);
        frame->pts = framesSent;
        framesSent += count;
        takeLibraryError();
        const int sent = avcodec_send_frame(codec, frame);
        av_frame_unref(frame);
        if (sent < 0) {
            throwEncode(path, sent);
        }
        drainPackets();
    }
};

bool AacFileWriter::isSupportedSampleRate(int sampleRate) {
    return std::find(std::begin(kSupportedRates), std::end(kSupportedRates), sampleRate) !=
           std::end(kSupportedRates);
}

AacFileWriter::AacFileWriter(const std::filesystem::path& path, Container container, int sampleRate,
                             int channels, int64_t bitRate)
    : state_(std::make_unique<State>()) {
    quietLibraryLog();
    State& s = *state_;
    s.path = path;
    if (channels < 1 || channels > kMaxChannels || !isSupportedSampleRate(sampleRate)) {
        throwSetup("AAC cannot carry " + std::to_string(channels) + " channels at " +
                   std::to_string(sampleRate) + " Hz");
    }
    const AVCodec* encoder = avcodec_find_encoder_by_name("aac");
    if (encoder == nullptr) {
        throwSetup("no AAC encoder");
    }
    const char* muxer = container == Container::m4a ? "ipod" : "mp4";
    int result = avformat_alloc_output_context2(&s.format, nullptr, muxer, path.c_str());
    if (result < 0 || s.format == nullptr) {
        throwSetup(std::string("no \"") + muxer + "\" muxer", result);
    }
    s.codec = avcodec_alloc_context3(encoder);
    s.frame = av_frame_alloc();
    s.packet = av_packet_alloc();
    if (s.codec == nullptr || s.frame == nullptr || s.packet == nullptr) {
        throw std::bad_alloc();
    }
    s.codec->sample_fmt = AV_SAMPLE_FMT_FLTP;
    s.codec->sample_rate = sampleRate;
    av_channel_layout_from_mask(&s.codec->ch_layout, kFullRangeLayouts[channels - 1]);
    s.codec->bit_rate = bitRate > 0 ? bitRate : std::min<int64_t>(64000 * channels, 256000);
    s.codec->profile = FF_PROFILE_AAC_LOW;
    s.codec->time_base = AVRational{1, sampleRate};
    if (s.format->oformat->flags & AVFMT_GLOBALHEADER) {
        s.codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    }
    result = avcodec_open2(s.codec, encoder, nullptr);
    if (result < 0) {
        throwSetup("the AAC encoder refuses " + std::to_string(channels) + " channels at " +
                       std::to_string(sampleRate) + " Hz",
                   result);
    }
    s.stream = avformat_new_stream(s.format, nullptr);
    if (s.stream == nullptr) {
        throw std::bad_alloc();
    }
    result = avcodec_parameters_from_context(s.stream->codecpar, s.codec);
    if (result < 0) {
        throwSetup("cannot describe the AAC stream", result);
    }
    s.stream->time_base = AVRational{1, sampleRate};

    s.fifo = av_audio_fifo_alloc(AV_SAMPLE_FMT_FLTP, channels, s.codec->frame_size);
    if (s.fifo == nullptr) {
        throw std::bad_alloc();
    }

    result = avio_open(&s.format->pb, path.c_str(), AVIO_FLAG_WRITE);
    if (result < 0) {
        throwWrite(path, "Cannot create audio file", result);
    }
    AVDictionary* options = nullptr;
    // The edit list's length is counted in the movie's time scale (1/1000 s by default): at the sample
    // rate it is exact to the frame.
    av_dict_set_int(&options, "movie_timescale", sampleRate, 0);
    if (container == Container::fragmentedMp4) {
        // The index goes out with the first fragment (so it can carry the priming delay), then a
        // fragment about every second; each reaches the file as soon as it is cut.
        av_dict_set(&options, "movflags", "+empty_moov+delay_moov+default_base_moof", 0);
        av_dict_set(&options, "frag_duration", "1000000", 0);
        s.format->flush_packets = 1;
    }
    result = avformat_write_header(s.format, &options);
    av_dict_free(&options);
    if (result < 0) {
        throwSetup(std::string("the \"") + muxer + "\" muxer does not start", result);
    }
    s.headerWritten = true;
}

AacFileWriter::~AacFileWriter() = default;

void AacFileWriter::write(const float* const* channels, int64_t frames) {
    State& s = *state_;
    if (s.finished) {
        throw std::logic_error("AAC writer: write after finish");
    }
    const int frameSize = s.codec->frame_size;
    const int channelCount = s.codec->ch_layout.nb_channels;
    std::array<void*, kMaxChannels> from{};
    for (int64_t offset = 0; offset < frames;) {
        const int chunk = int(std::min<int64_t>(frames - offset, frameSize));
        for (int c = 0; c < channelCount; ++c)
            from[size_t(c)] = const_cast<float*>(channels[c] + offset);
        if (av_audio_fifo_write(s.fifo, from.data(), chunk) < chunk) {
            throw std::bad_alloc();
        }
        offset += chunk;
        s.framesIn += chunk;
        while (av_audio_fifo_size(s.fifo) >= frameSize)
            s.sendFromFifo(frameSize);
    }
}

void AacFileWriter::finish() {
    State& s = *state_;
    if (s.finished) {
        return;
    }
    if (const int rest = av_audio_fifo_size(s.fifo); rest > 0) {
        s.sendFromFifo(rest); // a short last frame: the encoder pads it and marks the padding
    }
    takeLibraryError();
    int result = avcodec_send_frame(s.codec, nullptr);
    if (result < 0) {
        throwEncode(s.path, result);
    }
    s.drainPackets();
    s.finished = true;
    result = av_write_trailer(s.format);
    const int closed = avio_closep(&s.format->pb);
    if (result < 0 || closed < 0) {
        throwWrite(s.path, "Cannot finish audio file", result < 0 ? result : closed);
    }
}

int AacFileWriter::sampleRate() const { return state_->codec->sample_rate; }
int AacFileWriter::channelCount() const { return state_->codec->ch_layout.nb_channels; }
int64_t AacFileWriter::framesWritten() const { return state_->framesIn; }

} // namespace audio
