#include "Platform/Audio/Files/AacFileWriter.h"
#include "Platform/Audio/Files/AudioFileError.h"
#include "Platform/Audio/Files/AudioFileReader.h"
#include "Platform/Audio/Files/CafWriter.h"
#include "Platform/Audio/Files/ContainerInfo.h"
#include "Platform/Audio/Files/Resampler.h"
#include "Platform/Audio/Files/ResamplingReader.h"
#include "Support/Audio/AudioTestFiles.h"
#include "Support/Audio/TestAudioFile.h"
#include "Support/TestSupport.h"

#include <cmath>
#include <gtest/gtest.h>

namespace {

using audio::PcmBuffer;
using audio::PcmFormat;
using testsupport::TemporaryDirectory;

audiotest::Planes tone(int channels, int64_t frames, double rate) {
    audiotest::Planes planes(size_t(channels), std::vector<float>(size_t(frames), 0.0f));
    for (int c = 0; c < channels; ++c)
        for (int64_t f = 0; f < frames; ++f)
            planes[c][f] = float(0.3 * (c + 1) * std::sin(2 * M_PI * 997.0 * double(f) / rate));
    return planes;
}

void writeCaf(const std::filesystem::path& path, double rate, const audiotest::Planes& planes) {
    audio::CafWriter writer(path, rate, int(planes.size()));
    writer.write(audiotest::planePointers(planes).data(), int64_t(planes[0].size()));
}

std::vector<std::vector<float>> readAll(audio::ResamplingReader& reader, uint32_t block) {
    std::vector<std::vector<float>> planes(reader.format().channelCount);
    auto buffer = PcmBuffer::create(reader.format(), block);
    while (const uint32_t frames = reader.read(*buffer))
        for (uint32_t c = 0; c < reader.format().channelCount; ++c)
            planes[c].insert(planes[c].end(), buffer->channel(c), buffer->channel(c) + frames);
    return planes;
}

// Streaming many blocks through one resampler must give what one conversion of the whole gives: any
// seam, repeat or gap at a block edge shows as a difference.
TEST(ResamplingReader, ReadsAWholeFileAtAnotherRateWithoutSeamsAndWithTheScaledLength) {
    TemporaryDirectory folder;
    const int64_t frames = 100003; // several of the reader's blocks
    const auto planes = tone(2, frames, 44100);
    writeCaf(folder / "in.caf", 44100, planes);

    audio::ResamplingReader reader(audio::AudioFileReader(folder / "in.caf"), 48000);
    EXPECT_EQ(reader.format(), *PcmFormat::standard(48000, 2));
    EXPECT_EQ(reader.length(), std::llround(frames * 48000.0 / 44100));
    const auto streamed = readAll(reader, 4099);
    ASSERT_EQ(int64_t(streamed[0].size()), reader.length());

    auto whole = PcmBuffer::create(*PcmFormat::standard(44100, 2), uint32_t(frames));
    for (int c = 0; c < 2; ++c)
        std::copy(planes[c].begin(), planes[c].end(), whole->channel(c));
    whole->setFrameLength(uint32_t(frames));
    audio::Resampler resampler(whole->format(), reader.format());
    auto converted = PcmBuffer::create(reader.format(), uint32_t(reader.length()) + 1000);
    const uint32_t produced = resampler.convert(*whole, *converted);
    ASSERT_GE(int64_t(produced), reader.length() - 2);
    for (int c = 0; c < 2; ++c) {
        double worst = 0;
        for (uint32_t i = 0; i + 2 < produced && i < streamed[c].size(); ++i)
            worst = std::max(worst, double(std::fabs(streamed[c][i] - converted->channel(c)[i])));
        EXPECT_LT(worst, 1e-5) << "channel " << c;
    }
}

TEST(ResamplingReader, SameRatePassesSamplesThroughFromWhereTheFileStands) {
    TemporaryDirectory folder;
    const auto planes = tone(1, 50000, 48000);
    writeCaf(folder / "in.caf", 48000, planes);
    audio::AudioFileReader file(folder / "in.caf");
    file.setFramePosition(1000);
    audio::ResamplingReader reader(std::move(file), 48000);
    EXPECT_EQ(reader.length(), 49000);
    const auto streamed = readAll(reader, 7000);
    EXPECT_EQ(streamed[0], std::vector<float>(planes[0].begin() + 1000, planes[0].end()));

    auto wrong = PcmBuffer::create(*PcmFormat::standard(44100, 1), 100);
    EXPECT_THROW(reader.read(*wrong), audio::AudioFileError);
}

// A header stating ten times the audio the file holds: the stream ends with the audio, not with
// silence up to the stated length, also at the highest ratio between accepted rates.
TEST(ResamplingReader, AFileThatEndsEarlyEndsTheStreamWhereItsFramesEnd) {
    TemporaryDirectory folder;
    audiotest::writeRawWav(folder / "cut.wav", 1000, 1, 32, std::vector<float>(100, 0.5f), 4000, 1000);
    for (double rate : {1000.0, 48000.0, 768000.0}) {
        SCOPED_TRACE(rate);
        audio::ResamplingReader reader(audio::AudioFileReader(folder / "cut.wav"), rate);
        EXPECT_EQ(reader.length(), std::llround(1000 * rate / 1000));
        const auto streamed = readAll(reader, 4096);
        EXPECT_NEAR(double(streamed[0].size()), 100 * rate / 1000, 2);
        EXPECT_EQ(reader.length(), int64_t(streamed[0].size()));
        EXPECT_NEAR(streamed[0][streamed[0].size() / 2], 0.5f, 0.01f);
    }
}

TEST(ContainerInfo, NamesTheContainerAndTellsAFileWithoutAudioFromAnUnreadableOne) {
    TemporaryDirectory folder;
    writeCaf(folder / "a.caf", 48000, tone(1, 100, 48000));
    for (const auto& [name, container] : {std::pair{"b.m4a", audio::AacFileWriter::Container::m4a},
                                          {"c.mp4", audio::AacFileWriter::Container::fragmentedMp4}}) {
        audio::AacFileWriter writer(folder / name, container, 48000, 1);
        writer.write(audiotest::planePointers(tone(1, 2000, 48000)).data(), 2000);
        writer.finish();
    }
    testsupport::writeFile(folder / "d.mp4", "WEBVTT\n\n00:00.000 --> 00:01.000\nsubtitles only\n");
    testsupport::writeFile(folder / "e.caf", "plain text\n");

    EXPECT_EQ(audio::ContainerInfo::inspect(folder / "a.caf").container, "caf");
    EXPECT_EQ(audio::ContainerInfo::inspect(folder / "b.m4a").container, "m4a");
    EXPECT_EQ(audio::ContainerInfo::inspect(folder / "c.mp4").container, "mp4");
    EXPECT_TRUE(audio::ContainerInfo::inspect(folder / "c.mp4").hasAudio);
    EXPECT_FALSE(audio::ContainerInfo::inspect(folder / "d.mp4").hasAudio);
    EXPECT_THROW(audio::ContainerInfo::inspect(folder / "e.caf"), audio::AudioFileError);
    EXPECT_THROW(audio::ContainerInfo::inspect(folder / "missing.caf"), audio::AudioFileError);
}

} // namespace
