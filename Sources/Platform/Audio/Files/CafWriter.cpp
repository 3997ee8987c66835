#include "Platform/Audio/Files/CafWriter.h"

#include "Platform/Audio/Files/AudioFileError.h"

#include <bit>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <string>
#include <system_error>
#include <unistd.h>

namespace audio {

namespace {

static_assert(std::endian::native == std::endian::little, "samples are written in memory order");

// CAF stores every header field big-endian.
void putBig(std::vector<uint8_t>& out, uint64_t value, int bytes) {
    for (int i = bytes - 1; i >= 0; --i)
        out.push_back(uint8_t(value >> (8 * i)));
}

void putTag(std::vector<uint8_t>& out, const char (&tag)[5]) { out.insert(out.end(), tag, tag + 4); }

constexpr uint32_t kFormatFlagIsFloat = 1;
constexpr uint32_t kFormatFlagIsLittleEndian = 2;
constexpr int64_t kSizeToEndOfFile = -1;

std::vector<uint8_t> header(double sampleRate, int channels) {
    std::vector<uint8_t> out;
    putTag(out, "caff");
    putBig(out, 1, 2); // file version
    putBig(out, 0, 2); // file flags

    putTag(out, "desc");
    putBig(out, 32, 8);
    putBig(out, std::bit_cast<uint64_t>(sampleRate), 8);
    putTag(out, "lpcm");
    putBig(out, kFormatFlagIsFloat | kFormatFlagIsLittleEndian, 4);
    putBig(out, uint32_t(4 * channels), 4); // bytes per packet
    putBig(out, 1, 4);                      // frames per packet
    putBig(out, uint32_t(channels), 4);
    putBig(out, 32, 4); // bits per channel

    putTag(out, "data");
    putBig(out, uint64_t(kSizeToEndOfFile), 8);
    putBig(out, 0, 4); // edit count
    return out;
}

[[noreturn]] void throwFileError(const std::string& operation, const std::filesystem::path& path) {
    throw AudioFileError(operation, path.string(), std::generic_category().message(errno));
}

} // namespace

CafWriter::CafWriter(const std::filesystem::path& path, double sampleRate, int channels)
    : path_(path), sampleRate_(sampleRate), channels_(channels) {
    if (!(sampleRate > 0) || channels < 1) {
        throw std::invalid_argument("CAF writer: the sample rate must be positive and the channel count at "
                                    "least 1");
    }
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd_ < 0) {
        throwFileError("Cannot create audio file", path);
    }
    const auto bytes = header(sampleRate, channels);
    try {
        writeAll(bytes.data(), bytes.size());
    } catch (...) {
        ::close(fd_);
        fd_ = -1;
        throw;
    }
}

CafWriter::~CafWriter() {
    try {
        close();
    } catch (...) {
        // A destructor cannot report; the samples already written stay readable ("to end of file").
    }
}

void CafWriter::write(const float* const* channels, int64_t frames) {
    if (fd_ < 0) {
        if (unusable_) {
            errno = EIO;
            throwFileError("Cannot write audio file", path_);
        }
        throw std::logic_error("CAF writer: write after close");
    }
    if (frames <= 0) {
        return;
    }
    const size_t count = size_t(frames) * size_t(channels_);
    interleaved_.resize(count);
    float* out = interleaved_.data();
    if (channels_ == 1) {
        std::memcpy(out, channels[0], count * sizeof(float));
    } else {
        for (int c = 0; c < channels_; ++c) {
            const float* in = channels[c];
            for (int64_t f = 0; f < frames; ++f)
                out[f * channels_ + c] = in[f];
        }
    }
    try {
        writeAll(out, count * sizeof(float));
    } catch (...) {
        // A failed write may have left part of a frame behind; every later frame would then land shifted
        // by a channel or two. Cut the file back to the last whole frame so the next write lines up.
        const int saved = errno;
        const off_t end = off_t(kAudioDataOffset + framesWritten_ * 4 * channels_);
        if (::ftruncate(fd_, end) != 0 || ::lseek(fd_, end, SEEK_SET) != end) {
            // Nothing sound can follow a file we cannot realign: stop writing to it.
            ::close(fd_);
            fd_ = -1;
            unusable_ = true;
        }
        errno = saved;
        throw;
    }
    framesWritten_ += frames;
}

void CafWriter::close() {
    if (fd_ < 0) {
        return;
    }
    const int fd = fd_;
    fd_ = -1;
    std::vector<uint8_t> size;
    putBig(size, uint64_t(4 + framesWritten_ * 4 * channels_), 8);
    const bool patched = ::pwrite(fd, size.data(), size.size(), kDataSizeOffset) == ssize_t(size.size());
    const int patchErrno = errno;
    const bool closed = ::close(fd) == 0;
    if (!patched || !closed) {
        errno = patched ? errno : patchErrno;
        throwFileError("Cannot finish audio file", path_);
    }
}

void CafWriter::writeAll(const void* bytes, size_t size) {
    const auto* p = static_cast<const uint8_t*>(bytes);
    while (size > 0) {
        const ssize_t n = ::write(fd_, p, size);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            throwFileError("Cannot write audio file", path_);
        }
        p += n;
        size -= size_t(n);
    }
}

} // namespace audio
