#include "Platform/Audio/Files/AudioFileError.h"
#include "Platform/Audio/Files/CafWriter.h"
#include "Support/Audio/AudioTestFiles.h"
#include "Support/TestSupport.h"

#include <bit>
#include <csignal>
#include <cstring>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <vector>

namespace {

using audio::CafWriter;
using testsupport::TemporaryDirectory;

uint64_t bigEndian(const std::string& bytes, size_t offset, int width) {
    uint64_t value = 0;
    for (int i = 0; i < width; ++i)
        value = value << 8 | uint8_t(bytes[offset + size_t(i)]);
    return value;
}

float littleFloat(const std::string& bytes, size_t offset) {
    float value;
    std::memcpy(&value, bytes.data() + offset, 4);
    return value;
}

// Channel c, frame f: a value no other sample of the file has.
float patternSample(int c, int64_t f) { return float(f % 20011) / 20011.0f - 0.5f + float(c) * 1e-5f; }

std::vector<std::vector<float>> pattern(int channels, int64_t frames, int64_t first = 0) {
    std::vector<std::vector<float>> planes(size_t(channels), std::vector<float>(size_t(frames), 0.0f));
    for (int c = 0; c < channels; ++c)
        for (int64_t f = 0; f < frames; ++f)
            planes[size_t(c)][size_t(f)] = patternSample(c, first + f);
    return planes;
}

void writePlanes(CafWriter& writer, const std::vector<std::vector<float>>& planes, int64_t from, int64_t frames) {
    writer.write(audiotest::planePointers(planes, from).data(), frames);
}

TEST(CafWriter, WritesTheHeaderFieldByFieldAndInterleavesTheSamples) {
    TemporaryDirectory folder;
    const auto path = folder / "mic.caf";
    const auto planes = pattern(2, 3);
    CafWriter writer(path, 44100.0, 2);
    writePlanes(writer, planes, 0, 3);

    auto bytes = testsupport::readFile(path);
    EXPECT_EQ(bytes.substr(0, 4), "caff");
    EXPECT_EQ(bigEndian(bytes, 4, 2), 1u); // version
    EXPECT_EQ(bigEndian(bytes, 6, 2), 0u); // flags
    EXPECT_EQ(bytes.substr(8, 4), "desc");
    EXPECT_EQ(bigEndian(bytes, 12, 8), 32u);
    EXPECT_EQ(std::bit_cast<double>(bigEndian(bytes, 20, 8)), 44100.0);
    EXPECT_EQ(bytes.substr(28, 4), "lpcm");
    EXPECT_EQ(bigEndian(bytes, 32, 4), 3u); // float | little-endian
    EXPECT_EQ(bigEndian(bytes, 36, 4), 8u); // bytes per packet
    EXPECT_EQ(bigEndian(bytes, 40, 4), 1u); // frames per packet
    EXPECT_EQ(bigEndian(bytes, 44, 4), 2u); // channels
    EXPECT_EQ(bigEndian(bytes, 48, 4), 32u);
    EXPECT_EQ(bytes.substr(52, 4), "data");
    EXPECT_EQ(bigEndian(bytes, 56, 8), ~uint64_t(0)) << "open file: size runs to the end of the file";
    EXPECT_EQ(bigEndian(bytes, 64, 4), 0u); // edit count
    ASSERT_EQ(bytes.size(), size_t(CafWriter::kAudioDataOffset + 3 * 8));
    for (int f = 0; f < 3; ++f)
        for (int c = 0; c < 2; ++c)
            EXPECT_EQ(littleFloat(bytes, size_t(CafWriter::kAudioDataOffset + (f * 2 + c) * 4)), planes[c][f]);

    writer.close();
    bytes = testsupport::readFile(path);
    EXPECT_EQ(bigEndian(bytes, 56, 8), 4u + 3 * 8) << "closed file: the real size, edit count included";
    EXPECT_EQ(bytes.size(), size_t(CafWriter::kAudioDataOffset + 3 * 8));
}

TEST(CafWriter, ReadsBackSampleExactAtTheWrittenRateAndChannels) {
    TemporaryDirectory folder;
    for (const auto& [rate, channels] : {std::pair{48000, 1}, {44100, 2}, {96000, 3}}) {
        const auto path = folder / ("track" + std::to_string(channels) + ".caf");
        const int64_t frames = 10007;
        const auto planes = pattern(channels, frames);
        {
            CafWriter writer(path, rate, channels);
            for (int64_t at = 0; at < frames; at += 480) // capture-sized pieces, the last one short
                writePlanes(writer, planes, at, std::min<int64_t>(480, frames - at));
            EXPECT_EQ(writer.framesWritten(), frames);
        }
        const auto back = audiotest::readBack(path);
        EXPECT_EQ(back.sampleRate, rate);
        EXPECT_EQ(back.planes, planes) << channels << " channels";
    }
}

TEST(CafWriter, AFileCutOffMidWriteReadsToItsLastWholeFrame) {
    TemporaryDirectory folder;
    const auto path = folder / "mic.caf";
    const auto planes = pattern(2, 5000);
    CafWriter writer(path, 48000, 2);
    writePlanes(writer, planes, 0, 5000);

    // What a killed process leaves: the bytes so far, the size still "to end of file", and (cut
    // mid-write) part of a frame at the end.
    const auto bytes = testsupport::readFile(path);
    testsupport::writeFile(folder / "killed.caf", bytes);
    testsupport::writeFile(folder / "torn.caf", bytes.substr(0, bytes.size() - 5));

    const auto killed = audiotest::readBack(folder / "killed.caf");
    EXPECT_EQ(killed.planes, planes);
    const auto torn = audiotest::readBack(folder / "torn.caf");
    ASSERT_EQ(torn.planes[0].size(), 4999u);
    EXPECT_EQ(torn.planes[1], std::vector<float>(planes[1].begin(), planes[1].begin() + 4999));
}

// A write that stops part-way through a frame (here: the file-size limit; on a user's machine a full
// disk) must not shift the channels of every frame written after it.
TEST(CafWriter, AFailedWriteLeavesNoPartialFrameForTheNextOneToShiftOn) {
    TemporaryDirectory folder;
    const auto path = folder / "mic.caf";
    const auto planes = pattern(2, 30);
    CafWriter writer(path, 48000, 2);
    writePlanes(writer, planes, 0, 10);

    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = saved;
    limited.rlim_cur = rlim_t(CafWriter::kAudioDataOffset + 10 * 8 + 8 * 5 + 3); // 5 frames and 3 bytes more
    setrlimit(RLIMIT_FSIZE, &limited);
    EXPECT_THROW(writePlanes(writer, planes, 10, 10), audio::AudioFileError);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    writePlanes(writer, planes, 20, 10);
    writer.close();
    const auto back = audiotest::readBack(path);
    ASSERT_EQ(back.planes[0].size(), 20u) << "the failed write's frames are gone, the rest is whole";
    for (int c = 0; c < 2; ++c) {
        EXPECT_TRUE(std::equal(back.planes[c].begin(), back.planes[c].begin() + 10, planes[c].begin()));
        EXPECT_TRUE(std::equal(back.planes[c].begin() + 10, back.planes[c].end(), planes[c].begin() + 20));
    }
}

TEST(CafWriter, RefusesWhatItCannotWrite) {
    TemporaryDirectory folder;
    EXPECT_THROW(CafWriter(folder / "missing" / "mic.caf", 48000, 1), audio::AudioFileError);
    EXPECT_THROW(CafWriter(folder / "a.caf", 0, 1), std::invalid_argument);
    EXPECT_THROW(CafWriter(folder / "b.caf", 48000, 0), std::invalid_argument);

    CafWriter writer(folder / "c.caf", 48000, 1);
    writer.close();
    writer.close(); // twice is harmless
    const float sample = 0;
    const float* planes[] = {&sample};
    EXPECT_THROW(writer.write(planes, 1), std::logic_error);
}

} // namespace
