#include "Platform/Audio/Files/DataChunkLength.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <fstream>
#include <limits>

namespace audio {

namespace {

// Chunks before the data chunk (format, lists, padding) are few; a file with more is not followed.
constexpr int kMaxChunks = 64;

std::uint32_t littleEndian(const unsigned char* bytes, int count) {
    std::uint32_t value = 0;
    for (int i = count - 1; i >= 0; --i) {
        value = (value << 8) | bytes[i];
    }
    return value;
}

std::uint64_t bigEndian(const unsigned char* bytes, int count) {
    std::uint64_t value = 0;
    for (int i = 0; i < count; ++i) {
        value = (value << 8) | bytes[i];
    }
    return value;
}

bool read(std::ifstream& file, unsigned char* bytes, std::size_t count) {
    file.read(reinterpret_cast<char*>(bytes), static_cast<std::streamsize>(count));
    return file.gcount() == static_cast<std::streamsize>(count);
}

std::optional<std::int64_t> wavFrames(std::ifstream& file) {
    std::uint32_t blockAlign = 0;
    bool pcm = false;
    std::streamoff offset = 12;
    for (int chunk = 0; chunk < kMaxChunks; ++chunk) {
        std::array<unsigned char, 8> head{};
        file.seekg(offset);
        if (!read(file, head.data(), head.size())) {
            return std::nullopt;
        }
        const std::uint32_t size = littleEndian(head.data() + 4, 4);
        if (std::memcmp(head.data(), "fmt ", 4) == 0) {
            std::array<unsigned char, 26> format{};
            if (size < 16 || !read(file, format.data(), std::min<std::size_t>(size, format.size()))) {
                return std::nullopt;
            }
            std::uint32_t tag = littleEndian(format.data(), 2);
            if (tag == 0xFFFE && size >= 26) {
                tag = littleEndian(format.data() + 24, 2); // the extensible format's sub-format
            }
            // Integer, float, A-law and µ-law samples: one block is one frame.
            pcm = tag == 1 || tag == 3 || tag == 6 || tag == 7;
            blockAlign = littleEndian(format.data() + 12, 2);
        } else if (std::memcmp(head.data(), "data", 4) == 0) {
            if (!pcm || blockAlign == 0 || size == 0 || size == 0xFFFFFFFF) {
                return std::nullopt;
            }
            return static_cast<std::int64_t>(size / blockAlign);
        }
        offset += 8 + static_cast<std::streamoff>(size) + (size & 1);
    }
    return std::nullopt;
}

std::optional<std::int64_t> cafFrames(std::ifstream& file) {
    std::uint64_t bytesPerPacket = 0;
    std::uint64_t framesPerPacket = 0;
    bool pcm = false;
    std::streamoff offset = 8;
    for (int chunk = 0; chunk < kMaxChunks; ++chunk) {
        std::array<unsigned char, 12> head{};
        file.seekg(offset);
        if (!read(file, head.data(), head.size())) {
            return std::nullopt;
        }
        const auto size = static_cast<std::int64_t>(bigEndian(head.data() + 4, 8));
        if (std::memcmp(head.data(), "desc", 4) == 0) {
            std::array<unsigned char, 32> description{};
            if (size < 32 || !read(file, description.data(), description.size())) {
                return std::nullopt;
            }
            pcm = std::memcmp(description.data() + 8, "lpcm", 4) == 0;
            bytesPerPacket = bigEndian(description.data() + 16, 4);
            framesPerPacket = bigEndian(description.data() + 20, 4);
        } else if (std::memcmp(head.data(), "data", 4) == 0) {
            // −1 leaves the size open; the chunk starts with a 4-byte edit count.
            if (!pcm || bytesPerPacket == 0 || framesPerPacket == 0 || size < 4) {
                return std::nullopt;
            }
            const std::uint64_t packets = static_cast<std::uint64_t>(size - 4) / bytesPerPacket;
            if (packets > static_cast<std::uint64_t>(INT64_MAX) / framesPerPacket) {
                return std::nullopt;
            }
            return static_cast<std::int64_t>(packets * framesPerPacket);
        }
        if (size < 0 || size > std::numeric_limits<std::streamoff>::max() - offset - 12) {
            return std::nullopt;
        }
        offset += 12 + static_cast<std::streamoff>(size);
    }
    return std::nullopt;
}

} // namespace

std::optional<std::int64_t> dataChunkFrames(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::array<unsigned char, 12> magic{};
    if (!file || !read(file, magic.data(), magic.size())) {
        return std::nullopt;
    }
    if (std::memcmp(magic.data(), "RIFF", 4) == 0 && std::memcmp(magic.data() + 8, "WAVE", 4) == 0) {
        return wavFrames(file);
    }
    if (std::memcmp(magic.data(), "caff", 4) == 0) {
        return cafFrames(file);
    }
    return std::nullopt;
}

} // namespace audio
