#include "Platform/Audio/Files/AudioFileError.h"
#include "Platform/Audio/Files/AudioFileReader.h"
#include "Support/Audio/TestAudioFile.h"
#include "Support/TestSupport.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <string>
#include <tuple>

namespace {

using audio::AudioFileError;
using audio::AudioFileReader;
using audio::PcmBuffer;
using audiotest::FileKind;
using audiotest::Planes;

/// Reads the whole file in reads of `step` frames, checking that only the last read is short.
Planes readAll(AudioFileReader& reader, std::uint32_t step) {
    auto buffer = PcmBuffer::create(reader.processingFormat(), step);
    Planes planes(reader.processingFormat().channelCount);
    bool shortReadSeen = false;
    while (true) {
        std::uint32_t got = reader.read(*buffer, step);
        EXPECT_EQ(buffer->frameLength(), got);
        if (got == 0) {
            break;
        }
        EXPECT_FALSE(shortReadSeen) << "a short read before the end";
        shortReadSeen = got < step;
        for (std::uint32_t c = 0; c < planes.size(); ++c) {
            planes[c].insert(planes[c].end(), buffer->channel(c), buffer->channel(c) + got);
        }
    }
    return planes;
}

double maxDifference(const std::vector<float>& a, const std::vector<float>& b) {
    double worst = 0;
    for (std::size_t i = 0; i < std::min(a.size(), b.size()); ++i) {
        worst = std::max(worst, std::abs(static_cast<double>(a[i]) - b[i]));
    }
    return worst;
}

/// The root-mean-square difference relative to the root-mean-square of `b`.
double relativeRmsError(const std::vector<float>& a, const std::vector<float>& b, std::size_t from,
                        std::size_t to) {
    double error = 0;
    double power = 0;
    for (std::size_t i = from; i < to; ++i) {
        error += (static_cast<double>(a[i]) - b[i]) * (static_cast<double>(a[i]) - b[i]);
        power += static_cast<double>(b[i]) * b[i];
    }
    return std::sqrt(error / power);
}

void expectSamples(FileKind kind, int channel, int channels, const std::vector<float>& read,
                   const std::vector<float>& written) {
    switch (kind) {
    case FileKind::wavF32:
    case FileKind::cafF32:
        EXPECT_EQ(maxDifference(read, written), 0) << "channel " << channel;
        break;
    case FileKind::wavS16:
    case FileKind::flac:
        EXPECT_LE(maxDifference(read, written), 1.0 / 32768) << "channel " << channel;
        break;
    case FileKind::m4aAac:
        // Lossy: the tone comes back close (and in its own channel, each has its own level), away from the
        // edges. The fourth of six channels is the low-frequency one, which the encoder filters.
        if (channels == 6 && channel == 3) {
            break;
        }
        EXPECT_LT(relativeRmsError(read, written, 2048, written.size() - 2048), 0.1) << "channel " << channel;
        break;
    }
}

class ReaderFormats : public testing::TestWithParam<std::tuple<FileKind, int, int>> {};

TEST_P(ReaderFormats, GivesRateChannelsExactLengthAndTheSamplesWritten) {
    auto [kind, rate, channels] = GetParam();
    testsupport::TemporaryDirectory folder;
    auto path = folder / (std::string("tone") + audiotest::extension(kind));
    // An odd length that is no multiple of any codec's block.
    std::int64_t frames = rate / 2 + 333;
    Planes written = audiotest::sinePlanes(channels, frames, rate, 440.0);
    audiotest::writeAudioFile(path, kind, rate, written);

    AudioFileReader reader(path);
    EXPECT_EQ(reader.fileFormat().sampleRate, rate);
    EXPECT_EQ(reader.fileFormat().channelCount, static_cast<std::uint32_t>(channels));
    EXPECT_EQ(reader.processingFormat(), reader.fileFormat());
    EXPECT_EQ(reader.length(), frames);

    Planes read = readAll(reader, 4000);
    ASSERT_EQ(read.size(), static_cast<std::size_t>(channels));
    for (int c = 0; c < channels; ++c) {
        ASSERT_EQ(static_cast<std::int64_t>(read[c].size()), frames) << "channel " << c;
        expectSamples(kind, c, channels, read[c], written[c]);
    }
    EXPECT_EQ(reader.framePosition(), frames);
}

INSTANTIATE_TEST_SUITE_P(
    KindsRatesChannels, ReaderFormats,
    testing::Combine(testing::Values(FileKind::wavS16, FileKind::wavF32, FileKind::cafF32, FileKind::m4aAac),
                     testing::Values(8000, 44100, 48000, 96000), testing::Values(1, 2, 6)));

INSTANTIATE_TEST_SUITE_P(Flac, ReaderFormats, testing::Values(std::make_tuple(FileKind::flac, 44100, 2)));

class ReaderPositions : public testing::TestWithParam<FileKind> {};

TEST_P(ReaderPositions, ReadsFromAnyPositionForwardOrBackAsASequentialReadDoes) {
    FileKind kind = GetParam();
    testsupport::TemporaryDirectory folder;
    auto path = folder / (std::string("ramp") + audiotest::extension(kind));
    const std::int64_t frames = 30000;
    audiotest::writeAudioFile(path, kind, 48000, audiotest::rampPlanes(2, frames));

    AudioFileReader sequential(path);
    Planes whole = readAll(sequential, 7000);
    ASSERT_EQ(static_cast<std::int64_t>(whole[0].size()), frames);

    AudioFileReader reader(path);
    auto buffer = PcmBuffer::create(reader.processingFormat(), 1000);
    for (std::int64_t position : {12345, 2000, 2000 + 1000, 29500, 0, 17}) {
        reader.setFramePosition(position);
        EXPECT_EQ(reader.framePosition(), position);
        std::uint32_t expected = static_cast<std::uint32_t>(std::min<std::int64_t>(1000, frames - position));
        ASSERT_EQ(reader.read(*buffer, 1000), expected) << "from " << position;
        for (std::uint32_t c = 0; c < 2; ++c) {
            for (std::uint32_t i = 0; i < expected; ++i) {
                ASSERT_EQ(buffer->channel(c)[i], whole[c][position + i])
                    << "from " << position << " frame " << i;
            }
        }
        EXPECT_EQ(reader.framePosition(), position + expected);
    }

    reader.setFramePosition(frames);
    EXPECT_EQ(reader.read(*buffer), 0u);
    reader.setFramePosition(frames + 5000);
    EXPECT_EQ(reader.read(*buffer), 0u);
    EXPECT_EQ(buffer->frameLength(), 0u);
    EXPECT_THROW(reader.setFramePosition(-1), AudioFileError);
}

INSTANTIATE_TEST_SUITE_P(Kinds, ReaderPositions,
                         testing::Values(FileKind::wavS16, FileKind::cafF32, FileKind::m4aAac));

TEST(AudioFileReader, AacLengthLeavesOutEncoderDelayAndPadding) {
    testsupport::TemporaryDirectory folder;
    // Lengths below, at and just past one AAC block of 1024 frames.
    for (std::int64_t frames : {1, 1000, 1024, 1025, 48000}) {
        auto path = folder / ("short" + std::to_string(frames) + ".m4a");
        audiotest::writeAudioFile(path, FileKind::m4aAac, 48000, audiotest::sinePlanes(1, frames, 48000));
        AudioFileReader reader(path);
        EXPECT_EQ(reader.codecName(), "aac");
        EXPECT_EQ(reader.length(), frames);
        EXPECT_EQ(static_cast<std::int64_t>(readAll(reader, 4096)[0].size()), frames);
    }
}

TEST(AudioFileReader, ReportsTheLibrarysMessageForFilesItCannotRead) {
    testsupport::TemporaryDirectory folder;
    auto expectOpenError = [](const std::filesystem::path& path, const std::string& reason) {
        try {
            AudioFileReader reader(path);
            ADD_FAILURE() << path << " opened";
        } catch (const AudioFileError& error) {
            EXPECT_EQ(error.reason(), reason);
            EXPECT_LT(error.libraryCode(), 0);
            EXPECT_EQ(std::string(error.what()), "Cannot open audio file " + path.string() + ": " + reason);
        }
    };
    expectOpenError(folder / "missing.wav", "No such file or directory");
    testsupport::writeFile(folder / "empty.m4a", "");
    expectOpenError(folder / "empty.m4a", "Invalid data found when processing input");
    testsupport::writeFile(folder / "notes.wav", "this is a text file, not audio at all\n");
    expectOpenError(folder / "notes.wav", "Invalid data found when processing input");
}

/// The open error's reason, or "" when the file opens.
std::string openError(const std::filesystem::path& path) {
    try {
        AudioFileReader reader(path);
        return "";
    } catch (const AudioFileError& error) {
        EXPECT_NE(std::string(error.what()).find(path.string()), std::string::npos) << error.what();
        return error.reason();
    }
}

TEST(AudioFileReader, RefusesRatesOutsideAudioPracticeAndTooManyChannelsWhenOpening) {
    testsupport::TemporaryDirectory folder;
    const std::vector<float> frame(1, 0.5f);
    for (std::uint32_t rate : {1u, 999u, 768001u, 1644167552u}) {
        const auto path = folder / ("rate" + std::to_string(rate) + ".wav");
        audiotest::writeRawWav(path, rate, 1, 16, frame);
        EXPECT_EQ(openError(path),
                  "the sample rate " + std::to_string(rate) + " Hz is outside 1000 to 768000 Hz");
    }
    for (std::uint32_t rate : {1000u, 768000u}) {
        audiotest::writeRawWav(folder / "edge.wav", rate, 1, 16, frame);
        EXPECT_EQ(openError(folder / "edge.wav"), "") << rate;
    }
    for (std::uint16_t channels : {65, 512}) {
        audiotest::writeRawWav(folder / "many.wav", 16000, channels, 16, std::vector<float>(channels, 0.5f));
        EXPECT_EQ(openError(folder / "many.wav"),
                  "the file has " + std::to_string(channels) + " channels, at most 64 are read");
    }
    audiotest::writeRawWav(folder / "64.wav", 16000, 64, 16, std::vector<float>(64, 0.5f));
    AudioFileReader sixtyFour(folder / "64.wav");
    EXPECT_EQ(sixtyFour.length(), 1);
}

// A file cut off mid-write, or whose header states more than it holds, reads as the frames it holds;
// the length shrinks to them once a read finds the end, and the stated length stays.
TEST(AudioFileReader, AFileThatEndsBeforeItsStatedLengthReadsTheFramesItHolds) {
    testsupport::TemporaryDirectory folder;
    const Planes ramp = audiotest::rampPlanes(1, 16000);
    // Float WAV (its fact chunk states the length), FLAC (its stream header does) and a 16-bit WAV whose
    // data chunk alone states it.
    audiotest::writeAudioFile(folder / "cut.wav", FileKind::wavF32, 16000, ramp);
    std::string bytes = testsupport::readFile(folder / "cut.wav");
    testsupport::writeFile(folder / "cut.wav", bytes.substr(0, bytes.size() - 20000));
    audiotest::writeAudioFile(folder / "cut.flac", FileKind::flac, 16000, ramp);
    bytes = testsupport::readFile(folder / "cut.flac");
    testsupport::writeFile(folder / "cut.flac", bytes.substr(0, bytes.size() / 2));
    audiotest::writeRawWav(folder / "short.wav", 16000, 1, 16,
                           std::vector<float>(ramp[0].begin(), ramp[0].begin() + 500), 32000);

    for (const auto& name : {"cut.wav", "cut.flac", "short.wav"}) {
        SCOPED_TRACE(name);
        AudioFileReader reader(folder / name);
        EXPECT_EQ(reader.statedLength(), 16000);
        const Planes read = readAll(reader, 3000);
        const auto held = static_cast<std::int64_t>(read[0].size());
        EXPECT_GT(held, 0);
        EXPECT_LT(held, 16000);
        EXPECT_EQ(reader.length(), held);
        EXPECT_EQ(reader.statedLength(), 16000);
        EXPECT_LE(maxDifference(read[0], ramp[0]), 1.0 / 32768);
        // Positions past the frames held read nothing.
        reader.setFramePosition(held + 10);
        auto buffer = PcmBuffer::create(reader.processingFormat(), 100);
        EXPECT_EQ(reader.read(*buffer), 0u);
    }
    AudioFileReader exact(folder / "short.wav");
    EXPECT_EQ(readAll(exact, 3000)[0].size(), 500u);
}

TEST(AudioFileReader, AHeaderStatingAudioThatIsNotThereFailsToOpen) {
    testsupport::TemporaryDirectory folder;
    audiotest::writeRawWav(folder / "none.wav", 16000, 1, 16, {}, 32000);
    EXPECT_EQ(openError(folder / "none.wav"),
              "the file has no audio data, though its header states 16000 frames");
    audiotest::writeRawWav(folder / "none-float.wav", 16000, 1, 32, {}, 64000, 16000);
    EXPECT_EQ(openError(folder / "none-float.wav"),
              "the file has no audio data, though its header states 16000 frames");
    // A header that states no audio is an empty file, not a broken one.
    audiotest::writeRawWav(folder / "empty.wav", 16000, 1, 16, {});
    AudioFileReader empty(folder / "empty.wav");
    EXPECT_EQ(empty.length(), 0);
    EXPECT_EQ(empty.statedLength(), 0);
}

TEST(AudioFileReader, NonFiniteSamplesReadAsZeroAndAreCounted) {
    testsupport::TemporaryDirectory folder;
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    audiotest::writeRawWav(folder / "odd.wav", 16000, 2, 32, {0.5f, nan, inf, -0.25f, -inf, nan});
    AudioFileReader reader(folder / "odd.wav");
    const Planes read = readAll(reader, 16);
    EXPECT_EQ(read, (Planes{{0.5f, 0.0f, 0.0f}, {0.0f, -0.25f, 0.0f}}));
    EXPECT_EQ(reader.nonFiniteSamples(), 4);
}

TEST(AudioFileReader, RefusesBuffersThatDoNotFitTheRead) {
    testsupport::TemporaryDirectory folder;
    auto path = folder / "stereo.wav";
    audiotest::writeAudioFile(path, FileKind::wavF32, 48000, audiotest::rampPlanes(2, 100));
    AudioFileReader reader(path);
    auto mono = PcmBuffer::create(*audio::PcmFormat::standard(48000, 1), 100);
    EXPECT_THROW(reader.read(*mono), AudioFileError);
    auto small = PcmBuffer::create(reader.processingFormat(), 10);
    EXPECT_THROW(reader.read(*small, 11), AudioFileError);
    EXPECT_EQ(reader.read(*small), 10u);
}

} // namespace
