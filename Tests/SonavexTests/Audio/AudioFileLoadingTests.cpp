#include "Platform/Audio/Files/AudioFileError.h"
#include "Sonavex/Core/Audio/AudioProcessor.h"
#include "Sonavex/Utilities/Errors/WhisperError.h"
#include "SonavexTests/LogCapture.h"
#include "Support/Audio/TestAudioFile.h"
#include "Support/TestSupport.h"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <iostream>
#include <limits>
#include <sstream>

namespace {

using audiotest::FileKind;
using sonavex::AudioInputOptions;
using sonavex::AudioProcessor;
using sonavex::WhisperError;

template <class Call> WhisperError expectWhisperError(Call call) {
    try {
        call();
    } catch (const WhisperError& error) {
        return error;
    }
    ADD_FAILURE() << "no WhisperError";
    return WhisperError::loadAudioFailed("");
}

TEST(AudioFileLoading, ASixteenKilohertzMonoFileComesBackSampleForSample) {
    testsupport::TemporaryDirectory folder;
    auto path = (folder / "speech.wav").string();
    auto planes = audiotest::rampPlanes(1, 40000);
    audiotest::writeAudioFile(path, FileKind::wavF32, 16000, planes);

    EXPECT_EQ(AudioProcessor::loadAudioAsFloatArray(path), planes[0]);
    // The channel mode plays no part for such a file.
    EXPECT_EQ(AudioProcessor::loadAudioAsFloatArray(path, AudioInputOptions::SpecificChannel{3}), planes[0]);
    // A stretch is cut at the frames its times name; an end past the file is the file's end.
    auto stretch = AudioProcessor::loadAudioAsFloatArray(path, AudioInputOptions::SumChannels{}, 0.5, 1.25);
    EXPECT_EQ(stretch, std::vector<float>(planes[0].begin() + 8000, planes[0].begin() + 20000));
    auto tail = AudioProcessor::loadAudioAsFloatArray(path, AudioInputOptions::SumChannels{}, 2.0, 99.0);
    EXPECT_EQ(tail, std::vector<float>(planes[0].begin() + 32000, planes[0].end()));
    // A start at or past the end gives nothing.
    EXPECT_TRUE(AudioProcessor::loadAudioAsFloatArray(path, AudioInputOptions::SumChannels{}, 2.5).empty());
    EXPECT_TRUE(AudioProcessor::loadAudioAsFloatArray(path, AudioInputOptions::SumChannels{}, 7.0).empty());
    EXPECT_TRUE(AudioProcessor::loadAudio(path, AudioInputOptions::SumChannels{}, 7.0, 8.0)->frameLength() ==
                0);

    LogCapture log;
    auto buffer = AudioProcessor::loadAudio(path);
    EXPECT_EQ(buffer->frameLength(), 40000u);
    auto lines = log.lines();
    EXPECT_NE(
        std::find(lines.begin(), lines.end(),
                  "Audio source details - Sample Rate: 16000.0 Hz, Channel Count: 1, Frame Length: 40000, "
                  "Duration: 2.5s"),
        lines.end());
}

TEST(AudioFileLoading, OtherRatesAndChannelCountsAreMixedAndConvertedToSixteenKilohertz) {
    testsupport::TemporaryDirectory folder;
    struct Case {
        FileKind kind;
        int rate;
        int channels;
    };
    for (Case c :
         {Case{FileKind::wavS16, 8000, 1}, Case{FileKind::wavF32, 16000, 2}, Case{FileKind::cafF32, 44100, 3},
          Case{FileKind::m4aAac, 48000, 2}, Case{FileKind::wavF32, 96000, 6}}) {
        auto path = (folder / ("tone" + std::to_string(c.rate) + audiotest::extension(c.kind))).string();
        double seconds = 1.5;
        audiotest::writeAudioFile(
            path, c.kind, c.rate,
            audiotest::sinePlanes(c.channels, std::llround(seconds * c.rate), c.rate, 200));
        SCOPED_TRACE(path);

        auto samples =
            AudioProcessor::loadAudioAsFloatArray(path, AudioInputOptions::SpecificChannel{c.channels - 1});
        ASSERT_EQ(samples.size(), 24000u);
        // The chosen channel is the loudest (0.1 × its number); AAC is lossy and blurs its edges.
        double level = 0.1 * c.channels;
        double tolerance = c.kind == FileKind::m4aAac ? 0.04 : 0.003;
        for (std::size_t i = 2048; i + 2048 < samples.size(); i += 3) {
            ASSERT_NEAR(samples[i], level * std::sin(2 * M_PI * 200 * i / 16000.0), tolerance)
                << "sample " << i;
        }
    }
}

TEST(AudioFileLoading, PiecesOfALongFileMeetWithNoGapOrRepeat) {
    testsupport::TemporaryDirectory folder;
    // 1,250 s: two full pieces of 600 s and one of 50 s.
    auto exact = (folder / "long16k.wav").string();
    auto ramp = audiotest::rampPlanes(1, 1250LL * 16000, 99991);
    audiotest::writeAudioFile(exact, FileKind::wavF32, 16000, ramp);
    EXPECT_EQ(AudioProcessor::loadAudioAsFloatArray(exact), ramp[0]);
    ramp.clear();

    // The same through conversion: a low tone stays in phase across every piece and read edge.
    auto converted = (folder / "long8k.wav").string();
    audiotest::writeAudioFile(converted, FileKind::wavS16, 8000,
                              audiotest::sinePlanes(1, 1250LL * 8000, 8000, 50));
    auto samples = AudioProcessor::loadAudioAsFloatArray(converted);
    ASSERT_EQ(samples.size(), 1250u * 16000);
    double worst = 0;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        worst = std::max(worst, std::abs(samples[i] - 0.1 * std::sin(2 * M_PI * 50 * i / 16000.0)));
    }
    EXPECT_LT(worst, 0.01);
}

TEST(AudioFileLoading, SeveralFilesLoadTogetherAndAnswerInInputOrder) {
    testsupport::TemporaryDirectory folder;
    std::vector<std::string> paths;
    for (int i = 0; i < 5; ++i) {
        paths.push_back((folder / ("f" + std::to_string(i) + ".wav")).string());
        if (i != 2) {
            audiotest::writeAudioFile(paths.back(), FileKind::wavF32, 16000,
                                      {std::vector<float>(1000 * (i + 1), 0.01f * i)});
        }
    }
    auto results = AudioProcessor::loadAudio(paths, AudioInputOptions::SumChannels{});
    ASSERT_EQ(results.size(), 5u);
    for (int i = 0; i < 5; ++i) {
        if (i == 2) {
            ASSERT_FALSE(results[i].isSuccess());
            try {
                std::rethrow_exception(results[i].error());
            } catch (const WhisperError& error) {
                EXPECT_EQ(error.message(), "Resource path does not exist " + paths[2]);
            }
            continue;
        }
        ASSERT_TRUE(results[i].isSuccess()) << i;
        EXPECT_EQ(results[i].get(), std::vector<float>(1000 * (i + 1), 0.01f * i)) << i;
    }
}

TEST(AudioFileLoading, BadFilesFailWithTheirOwnErrors) {
    testsupport::TemporaryDirectory folder;
    auto missing = (folder / "missing.m4a").string();
    auto error = expectWhisperError([&] { AudioProcessor::loadAudioAsFloatArray(missing); });
    EXPECT_EQ(error.kind(), WhisperError::Kind::loadAudioFailed);
    EXPECT_EQ(error.message(), "Resource path does not exist " + missing);
    EXPECT_EQ(expectWhisperError([&] { AudioProcessor::loadAudio(missing); }).message(), error.message());

    // A file the audio layer cannot open: its error, unchanged.
    auto empty = (folder / "empty.wav").string();
    testsupport::writeFile(empty, "");
    EXPECT_THROW(AudioProcessor::loadAudioAsFloatArray(empty), audio::AudioFileError);
    EXPECT_THROW(AudioProcessor::loadAudio(empty), audio::AudioFileError);

    // A layout the audio layer refuses: its error, unchanged.
    auto crowded = (folder / "crowded.wav").string();
    audiotest::writeRawWav(crowded, 16000, 512, 16, std::vector<float>(512, 0.5f));
    EXPECT_THROW(AudioProcessor::loadAudioAsFloatArray(crowded), audio::AudioFileError);

    // Times that name no stretch.
    auto good = (folder / "good.wav").string();
    audiotest::writeAudioFile(good, FileKind::wavF32, 16000, audiotest::rampPlanes(1, 1600));
    EXPECT_EQ(expectWhisperError([&] {
                  AudioProcessor::loadAudio(good, AudioInputOptions::SumChannels{}, -1.0);
              }).kind(),
              WhisperError::Kind::loadAudioFailed);
    EXPECT_EQ(expectWhisperError([&] {
                  AudioProcessor::loadAudio(good, AudioInputOptions::SumChannels{}, 0.0, NAN);
              }).kind(),
              WhisperError::Kind::loadAudioFailed);
}

// Cut off mid-write, or a header that states more than the file holds: the frames that are there load,
// and the load says how many it found of how many stated, once.
TEST(AudioFileLoading, AFileThatEndsEarlyLoadsTheFramesItHoldsWithAWarning) {
    testsupport::TemporaryDirectory folder;
    auto cutMono = (folder / "cut16k.wav").string();
    auto cutStereo = (folder / "cut48k.wav").string();
    const auto mono = audiotest::rampPlanes(1, 16000);
    audiotest::writeAudioFile(cutMono, FileKind::wavF32, 16000, mono);
    audiotest::writeAudioFile(cutStereo, FileKind::wavF32, 48000, audiotest::rampPlanes(2, 48000));
    for (const auto& path : {cutMono, cutStereo}) {
        std::string bytes = testsupport::readFile(path);
        testsupport::writeFile(path, bytes.substr(0, bytes.size() - 20000));
    }
    auto warning = [](const std::string& path, std::int64_t held, std::int64_t stated) {
        return "Warning: audio file " + path + " ends early: it holds " + std::to_string(held) + " of the " +
               std::to_string(stated) + " frames its header states; loading the " + std::to_string(held);
    };

    LogCapture log(orvane::Logging::LogLevel::info);
    AudioProcessor::FileLoadReport report;
    auto samples = AudioProcessor::loadAudioAsFloatArray(cutMono, AudioInputOptions::SumChannels{}, 0.0,
                                                         std::nullopt, report);
    EXPECT_EQ(report.statedFrames, 16000);
    EXPECT_EQ(report.heldFrames, 16000 - 5000);
    EXPECT_EQ(samples, std::vector<float>(mono[0].begin(), mono[0].begin() + 11000));
    samples = AudioProcessor::loadAudioAsFloatArray(cutStereo, AudioInputOptions::SumChannels{}, 0.0,
                                                    std::nullopt, report);
    EXPECT_EQ(report.heldFrames, 48000 - 2500);
    EXPECT_NEAR(double(samples.size()), 45500 / 3.0, 1);
    EXPECT_EQ(log.linesStartingWith("Warning:"),
              (std::vector<std::string>{warning(cutMono, 11000, 16000), warning(cutStereo, 45500, 48000)}));

    // A file whose header states audio and that holds none fails, saying so.
    auto none = (folder / "none.wav").string();
    audiotest::writeRawWav(none, 16000, 1, 16, {}, 32000);
    try {
        AudioProcessor::loadAudioAsFloatArray(none);
        ADD_FAILURE() << "a file without audio data loaded";
    } catch (const audio::AudioFileError& error) {
        EXPECT_EQ(std::string(error.what()),
                  "Cannot open audio file " + none +
                      ": the file has no audio data, though its header states 16000 frames");
    }
}

TEST(AudioFileLoading, NonFiniteSamplesLoadAsZeroAndAreCountedOnce) {
    testsupport::TemporaryDirectory folder;
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    std::vector<float> odd(24000, 0.25f);
    odd[10] = nan;
    odd[20000] = inf;
    odd[23999] = -inf;
    auto mono = (folder / "odd16k.wav").string();
    auto stereo = (folder / "odd48k.wav").string();
    audiotest::writeRawWav(mono, 16000, 1, 32, odd);
    audiotest::writeRawWav(stereo, 48000, 2, 32, odd);

    LogCapture log;
    auto samples = AudioProcessor::loadAudioAsFloatArray(mono);
    std::vector<float> expected(odd);
    expected[10] = expected[20000] = expected[23999] = 0;
    EXPECT_EQ(samples, expected);
    samples = AudioProcessor::loadAudioAsFloatArray(stereo);
    EXPECT_TRUE(std::all_of(samples.begin(), samples.end(), [](float x) { return std::isfinite(x); }));
    EXPECT_EQ(log.linesStartingWith("Replaced "),
              (std::vector<std::string>{"Replaced 3 non-finite or out-of-range samples in " + mono,
                                        "Replaced 3 non-finite or out-of-range samples in " + stereo}));
}

// Finite samples near the float limit turn infinite in the resampler's filter unless bounded first; the
// bounded ones count as replaced, and a tool that keeps the log quiet still says so on standard error.
TEST(AudioFileLoading, SamplesNearTheFloatLimitLoadFiniteCountedAsReplacedOnStandardError) {
    testsupport::TemporaryDirectory folder;
    std::vector<float> loud(48000, 0.25f);
    std::fill(loud.begin() + 1000, loud.begin() + 1300, 3.4e38f);
    std::fill(loud.begin() + 2000, loud.begin() + 2100, -3.4e38f);
    auto path = (folder / "loud48k.wav").string();
    audiotest::writeRawWav(path, 48000, 1, 32, loud);

    LogCapture quiet(orvane::Logging::LogLevel::none);
    AudioProcessor::FileLoadReport report;
    auto samples =
        AudioProcessor::loadAudioAsFloatArray(path, AudioInputOptions::SumChannels{}, 0.0, std::nullopt, report);
    EXPECT_EQ(samples.size(), 16000u);
    EXPECT_TRUE(std::all_of(samples.begin(), samples.end(), [](float x) { return std::isfinite(x); }));
    EXPECT_EQ(report.nonFiniteSamples, 400);

    std::ostringstream errors;
    auto* original = std::cerr.rdbuf(errors.rdbuf());
    AudioProcessor::loadAudioAsFloatArray(path);
    std::cerr.rdbuf(original);
    EXPECT_EQ(errors.str(), "Replaced 400 non-finite or out-of-range samples in " + path + "\n");
}

/// An RF64 WAV file (16-bit, mono, 8 kHz) whose header states `frames` frames but that holds one second.
std::string rf64Header(std::uint64_t frames) {
    std::string bytes;
    auto put = [&](std::uint64_t value, int size) {
        for (int i = 0; i < size; ++i) {
            bytes.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
        }
    };
    bytes += "RF64";
    put(0xFFFFFFFF, 4);
    bytes += "WAVEds64";
    put(28, 4);
    put(0xFFFFFFFF, 8); // file size: see the data size
    put(frames * 2, 8);
    put(frames, 8);
    put(0, 4);
    bytes += "fmt ";
    put(16, 4);
    put(1, 2); // integer PCM
    put(1, 2);
    put(8000, 4);
    put(16000, 4);
    put(2, 2);
    put(16, 2);
    bytes += "data";
    put(0xFFFFFFFF, 4);
    for (int i = 0; i < 8000; ++i) {
        put(i % 2 == 0 ? 1000 : static_cast<std::uint16_t>(-1000), 2);
    }
    return bytes;
}

TEST(AudioFileLoading, AStretchBeyondThirtyTwoBitFrameCountsIsRefusedNotWrapped) {
    testsupport::TemporaryDirectory folder;
    auto path = (folder / "huge.wav").string();
    // 2^32 + 8,000 frames: wrapped to 32 bits it would look like one second.
    testsupport::writeFile(path, rf64Header(4294967296ULL + 8000));
    const std::string tooLong =
        "Audio stretch too long: 4294975296 frames, at most 4294967295 can be loaded at once";
    EXPECT_EQ(expectWhisperError([&] { AudioProcessor::loadAudioAsFloatArray(path); }).message(), tooLong);
    EXPECT_EQ(expectWhisperError([&] { AudioProcessor::loadAudio(path); }).message(), tooLong);
    // A stretch of it loads.
    auto second = AudioProcessor::loadAudioAsFloatArray(path, AudioInputOptions::SumChannels{}, 0.0, 1.0);
    EXPECT_EQ(second.size(), 16000u);
}

TEST(AudioFileLoading, FlatteningAndWindowingCopyWhatTheyShould) {
    auto buffer = audio::PcmBuffer::create(*audio::PcmFormat::standard(16000, 1), 3000);
    for (std::uint32_t i = 0; i < 3000; ++i) {
        buffer->channel(0)[i] = static_cast<float>(i);
    }
    buffer->setFrameLength(2500);
    auto samples = AudioProcessor::convertBufferToArray(*buffer, 1024);
    ASSERT_EQ(samples.size(), 2500u);
    for (std::uint32_t i = 0; i < 2500; ++i) {
        ASSERT_EQ(samples[i], static_cast<float>(i));
        ASSERT_EQ(buffer->channel(0)[i], 0.0f) << "the source keeps frame " << i;
    }
    EXPECT_THROW(AudioProcessor::convertBufferToArray(*buffer, 0), std::invalid_argument);

    std::vector<float> hundred(100);
    for (int i = 0; i < 100; ++i) {
        hundred[i] = static_cast<float>(i + 1);
    }
    auto window = AudioProcessor::padOrTrimAudio(hundred, 90, 20);
    ASSERT_TRUE(window);
    EXPECT_EQ(window->shape(), std::vector<int64_t>{20});
    auto values = window->toFloats();
    EXPECT_EQ(std::vector<float>(values.begin(), values.begin() + 10),
              std::vector<float>(hundred.begin() + 90, hundred.end()));
    EXPECT_EQ(std::vector<float>(values.begin() + 10, values.end()), std::vector<float>(10, 0.0f));
    LogCapture log(orvane::Logging::LogLevel::error);
    EXPECT_FALSE(AudioProcessor::padOrTrimAudio(hundred, 100, 20));
    EXPECT_FALSE(AudioProcessor::padOrTrimAudio(hundred, -1, 20));
    EXPECT_EQ(log.lines(), (std::vector<std::string>(2, "startIndex is outside the buffer size")));
}

} // namespace
