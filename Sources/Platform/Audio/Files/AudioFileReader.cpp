#include "Platform/Audio/Files/AudioFileReader.h"

#include "Platform/Audio/Files/AudioFileError.h"
#include "Platform/Audio/Files/StreamDecoder.h"

#include <algorithm>
#include <cstring>

namespace audio {

namespace {
constexpr const char* readOperation = "Cannot read audio file";
}

AudioFileReader::AudioFileReader(const std::filesystem::path& path)
    : path_(path), decoder_(std::make_unique<StreamDecoder>(path)) {
    format_ = PcmFormat{static_cast<double>(decoder_->sampleRate()),
                        static_cast<std::uint32_t>(decoder_->channelCount())};
    bool holdsAudio = false;
    if (auto stated = decoder_->statedLength()) {
        length_ = *stated;
        // The first block is decoded now (and kept for the first read): a header can state audio that
        // is not there at all.
        holdsAudio = length_ == 0 || decodeMore();
    } else {
        // No trustworthy length in the container: count the frames once, then start again.
        while (decodeMore()) {
            length_ += static_cast<std::int64_t>(pendingFrames_);
            pendingFrames_ = 0;
        }
        restart();
        nonFiniteSamples_ = 0; // counted when the frames are decoded again
        holdsAudio = length_ > 0;
    }
    statedLength_ = std::max(length_, decoder_->declaredLength().value_or(0));
    if (!holdsAudio && statedLength_ > 0) {
        throw AudioFileError("Cannot open audio file", path_.string(),
                             "the file has no audio data, though its header states " +
                                 std::to_string(statedLength_) + " frames");
    }
}

AudioFileReader::~AudioFileReader() = default;
AudioFileReader::AudioFileReader(AudioFileReader&&) noexcept = default;
AudioFileReader& AudioFileReader::operator=(AudioFileReader&&) noexcept = default;

const std::filesystem::path& AudioFileReader::path() const {
    return path_;
}
const PcmFormat& AudioFileReader::fileFormat() const {
    return format_;
}
const PcmFormat& AudioFileReader::processingFormat() const {
    return format_;
}
std::string AudioFileReader::codecName() const {
    return decoder_->codecName();
}
std::int64_t AudioFileReader::length() const {
    return length_;
}
std::int64_t AudioFileReader::statedLength() const {
    return statedLength_;
}
std::int64_t AudioFileReader::nonFiniteSamples() const {
    return nonFiniteSamples_ + decoder_->nonFiniteSamples();
}
std::int64_t AudioFileReader::framePosition() const {
    return position_;
}

void AudioFileReader::setFramePosition(std::int64_t position) {
    if (position < 0) {
        throw AudioFileError("Cannot seek in audio file", path_.string(),
                             "negative position " + std::to_string(position));
    }
    position_ = position;
}

void AudioFileReader::restart() {
    nonFiniteSamples_ += decoder_->nonFiniteSamples();
    decoder_.reset();
    decoder_ = std::make_unique<StreamDecoder>(path_);
    pendingOffset_ = 0;
    pendingFrames_ = 0;
    decodedPosition_ = 0;
}

void AudioFileReader::endHere() {
    length_ = decodedPosition_;
}

bool AudioFileReader::decodeMore() {
    pendingOffset_ = 0;
    pendingFrames_ = decoder_->decodeNext(pending_);
    return pendingFrames_ > 0;
}

void AudioFileReader::catchUp() {
    if (decodedPosition_ > position_) {
        restart();
    }
    while (decodedPosition_ < position_) {
        if (pendingFrames_ == 0 && !decodeMore()) {
            endHere(); // the position lies past the frames the file holds: reads deliver nothing
            return;
        }
        auto drop = static_cast<std::size_t>(
            std::min<std::int64_t>(static_cast<std::int64_t>(pendingFrames_), position_ - decodedPosition_));
        pendingOffset_ += drop;
        pendingFrames_ -= drop;
        decodedPosition_ += static_cast<std::int64_t>(drop);
    }
}

std::uint32_t AudioFileReader::read(PcmBuffer& buffer, std::uint32_t frameCount) {
    if (!(buffer.format() == format_)) {
        throw AudioFileError(readOperation, path_.string(),
                             "a buffer of " + buffer.format().description() + " for a file of " +
                                 format_.description());
    }
    if (frameCount > buffer.frameCapacity()) {
        throw AudioFileError(readOperation, path_.string(),
                             "a read of " + std::to_string(frameCount) + " frames into a buffer of " +
                                 std::to_string(buffer.frameCapacity()));
    }
    buffer.setFrameLength(0);
    if (position_ >= length_) {
        return 0;
    }
    catchUp();
    if (position_ >= length_) {
        return 0;
    }
    auto wanted = static_cast<std::uint32_t>(std::min<std::int64_t>(frameCount, length_ - position_));
    std::uint32_t done = 0;
    while (done < wanted) {
        if (pendingFrames_ == 0 && !decodeMore()) {
            endHere();
            break;
        }
        auto take = static_cast<std::uint32_t>(std::min<std::size_t>(pendingFrames_, wanted - done));
        for (std::uint32_t c = 0; c < format_.channelCount; ++c) {
            std::memcpy(buffer.channel(c) + done, pending_[c].data() + pendingOffset_, take * sizeof(float));
        }
        pendingOffset_ += take;
        pendingFrames_ -= take;
        decodedPosition_ += take;
        done += take;
    }
    position_ += done;
    buffer.setFrameLength(done);
    return done;
}

} // namespace audio
