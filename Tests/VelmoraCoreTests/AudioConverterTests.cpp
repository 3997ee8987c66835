#include "OrvaneCore/Errors/CancellationError.h"
#include "Platform/Audio/Files/AacFileWriter.h"
#include "Platform/Audio/Files/AudioFileError.h"
#include "Platform/Audio/Files/CafWriter.h"
#include "Platform/Audio/Files/StreamingAacWriter.h"
#include "Support/Audio/AudioTestFiles.h"
#include "Support/Audio/SignalLevel.h"
#include "Support/Audio/TestAudioFile.h"
#include "Support/TestSupport.h"
#include "VelmoraCore/AudioCapture/AudioConverter.h"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>

namespace {

using audiotest::expectClickAt;
using audiotest::planePointers;
using audiotest::readBack;
using audiotest::sineWithClick;
using velmora::AudioConverter;
using velmora::ConversionError;
namespace fs = std::filesystem;

void writeCaf(const fs::path& path, double rate, const audiotest::Planes& planes) {
    audio::CafWriter writer(path, rate, int(planes.size()));
    writer.write(planePointers(planes).data(), int64_t(planes[0].size()));
}

void writeCapture(const fs::path& path, int rate, const audiotest::Planes& planes) {
    audio::StreamingAacWriter writer(path, rate, int(planes.size()));
    const auto frames = int64_t(planes[0].size());
    for (int64_t at = 0; at < frames; at += 480)
        writer.write(planePointers(planes, at).data(), std::min<int64_t>(480, frames - at));
    writer.close();
}

// A media file that holds no audio at all (a subtitle track), as a screen recording without sound would.
void writeFileWithoutAudio(const fs::path& path) {
    testsupport::writeFile(path, "WEBVTT\n\n00:00.000 --> 00:01.000\nhello\n");
}

template <class Call> void expectConversionError(Call call, ConversionError::Kind kind, const std::string& text) {
    try {
        call();
        ADD_FAILURE() << "no ConversionError";
    } catch (const ConversionError& error) {
        EXPECT_EQ(error.kind(), kind);
        EXPECT_EQ(error.description(), text);
        EXPECT_STREQ(error.what(), text.c_str());
    }
}

TEST(AudioConverter, ConvertsTheRecordedTracksExactToTheFrameAndUnshifted) {
    testsupport::TemporaryDirectory folder;
    // The microphone's CAF at the device's rate and the system capture's fragmented MP4.
    writeCaf(folder / "mic.caf", 44100, sineWithClick(1, 44100 * 2 + 17, 44100, 30000));
    writeCapture(folder / "system_capture.mp4", 48000, sineWithClick(2, 48000 * 2 + 5, 48000, 50000));
    testsupport::writeFile(folder / "mic.m4a", "an older conversion that must be replaced");

    AudioConverter::convertToM4A(folder / "mic.caf", folder / "mic.m4a");
    AudioConverter::convertToM4A(folder / "system_capture.mp4", folder / "system.m4a");

    const auto mic = readBack(folder / "mic.m4a");
    EXPECT_EQ(mic.sampleRate, 44100);
    ASSERT_EQ(mic.planes.size(), 1u);
    EXPECT_EQ(mic.planes[0].size(), size_t(44100 * 2 + 17));
    expectClickAt(mic, 30000);
    const auto system = readBack(folder / "system.m4a");
    EXPECT_EQ(system.sampleRate, 48000);
    ASSERT_EQ(system.planes.size(), 2u);
    EXPECT_EQ(system.planes[0].size(), size_t(48000 * 2 + 5));
    expectClickAt(system, 50000);
    EXPECT_TRUE(fs::exists(folder / "mic.caf")) << "inputs stay";
    EXPECT_TRUE(fs::exists(folder / "system_capture.mp4"));
}

TEST(AudioConverter, ARateAacCannotCarryBecomes48kHzWithTheSameDuration) {
    testsupport::TemporaryDirectory folder;
    writeCaf(folder / "mic.caf", 47000, sineWithClick(1, 47000, 47000, 23500)); // 1 s, click at 0.5 s
    AudioConverter::convertToM4A(folder / "mic.caf", folder / "mic.m4a");
    const auto back = readBack(folder / "mic.m4a");
    EXPECT_EQ(back.sampleRate, 48000);
    EXPECT_EQ(back.planes[0].size(), 48000u);
    EXPECT_NEAR(double(audiotest::firstAbove(back.planes[0], 0.3f)), 24000, 3);
}

TEST(AudioConverter, AnUnreadableSourceFailsWithTheAudioLayersErrorAndLeavesNoDestination) {
    testsupport::TemporaryDirectory folder;
    testsupport::writeFile(folder / "mic.caf", "not audio, only text with a .caf name\n");
    testsupport::writeFile(folder / "mic.m4a", "from an earlier run");
    try {
        AudioConverter::convertToM4A(folder / "mic.caf", folder / "mic.m4a");
        ADD_FAILURE() << "converted a text file";
    } catch (const audio::AudioFileError& error) {
        EXPECT_EQ(std::string(error.what()),
                  "Cannot open audio file " + (folder / "mic.caf").string() + ": Invalid data found when processing input");
    }
    EXPECT_FALSE(fs::exists(folder / "mic.m4a"));
    EXPECT_THROW(AudioConverter::convertToM4A(folder / "missing.caf", folder / "mic.m4a"), audio::AudioFileError);
    EXPECT_THROW(AudioConverter::mix(folder / "mic.caf", folder / "missing.caf", folder / "rec.m4a"),
                 audio::AudioFileError);
    EXPECT_FALSE(fs::exists(folder / "rec.m4a"));
}

double rms(const std::vector<float>& plane) {
    return testsupport::measureSignal(plane).rms;
}

// A 1 kHz tone of amplitude 0.5 on channel `on` of `channels`, the others silent.
audiotest::Planes toneOnOneChannel(int channels, int on, int64_t frames = 12000) {
    audiotest::Planes planes(size_t(channels), std::vector<float>(size_t(frames), 0.0f));
    for (int64_t f = 0; f < frames; ++f)
        planes[size_t(on)][size_t(f)] = 0.5f * float(std::sin(2 * M_PI * 1000.0 * double(f) / 48000));
    return planes;
}

// A microphone's inputs are all full-range: none may be carried as a band-limited bass channel.
TEST(AudioConverter, AToneOnAnyOneChannelKeepsItsLevelAndItsChannel) {
    testsupport::TemporaryDirectory folder;
    for (int channels = 3; channels <= 8; ++channels) {
        for (int on = 0; on < channels; ++on) {
            writeCaf(folder / "in.caf", 48000, toneOnOneChannel(channels, on));
            AudioConverter::convertToM4A(folder / "in.caf", folder / "out.m4a");
            const auto back = readBack(folder / "out.m4a");
            ASSERT_EQ(back.planes.size(), size_t(channels));
            for (int c = 0; c < channels; ++c) {
                const double level = rms(back.planes[size_t(c)]);
                if (c == on)
                    EXPECT_NEAR(level, 0.5 / std::sqrt(2.0), 0.03) << on << " of " << channels;
                else
                    EXPECT_LT(level, 0.01) << "channel " << c << " with the tone on " << on << " of " << channels;
            }
        }
    }
}

// Past what AAC carries, and in a mix, a channel beyond the first two is folded into both sides at the
// mean's level, never dropped.
TEST(AudioConverter, ChannelsBeyondTheFirstTwoAreFoldedIntoBothSides) {
    testsupport::TemporaryDirectory folder;
    writeCaf(folder / "nine.caf", 48000, toneOnOneChannel(9, 2));
    AudioConverter::convertToM4A(folder / "nine.caf", folder / "nine.m4a");
    auto back = readBack(folder / "nine.m4a");
    EXPECT_EQ(back.sampleRate, 48000);
    ASSERT_EQ(back.planes.size(), 2u);
    EXPECT_EQ(back.planes[0].size(), 12000u);
    for (const auto& side : back.planes)
        EXPECT_NEAR(rms(side), 0.5 / std::sqrt(2.0) / 8, 0.005);

    writeCaf(folder / "three.caf", 48000, toneOnOneChannel(3, 2));
    writeCaf(folder / "silent.caf", 48000, audiotest::Planes(1, std::vector<float>(12000, 0.0f)));
    AudioConverter::mix(folder / "silent.caf", folder / "three.caf", folder / "mix.m4a");
    back = readBack(folder / "mix.m4a");
    ASSERT_EQ(back.planes.size(), 2u);
    for (const auto& side : back.planes)
        EXPECT_NEAR(rms(side), 0.5 / std::sqrt(2.0) / 2, 0.01);
}

TEST(AudioConverter, ConvertingOrMixingOntoAnInputRefusesInsteadOfDeletingIt) {
    testsupport::TemporaryDirectory folder;
    writeCaf(folder / "mic.caf", 48000, sineWithClick(1, 4800, 48000, 100));
    const auto before = testsupport::readFile(folder / "mic.caf");
    const std::string text = "変換に失敗しました: 入力と出力が同じファイルです: " + (folder / "mic.caf").string();
    expectConversionError([&] { AudioConverter::convertToM4A(folder / "mic.caf", folder / "mic.caf"); },
                          ConversionError::Kind::exportFailed, text);
    expectConversionError([&] { AudioConverter::mix(folder / "other.caf", folder / "mic.caf", folder / "mic.caf"); },
                          ConversionError::Kind::exportFailed, text);
    EXPECT_EQ(testsupport::readFile(folder / "mic.caf"), before);
}

// The session mixes a longer microphone track with a shorter system track; a click recorded by both at
// the same moment must land once, where it was, in both channels.
TEST(AudioConverter, MixOfUnequalLengthsKeepsBothTracksAlignedFromTimeZero) {
    testsupport::TemporaryDirectory folder;
    const int64_t click = 72000; // 1.5 s
    writeCaf(folder / "mic.caf", 48000, sineWithClick(1, 48000 * 3, 48000, click));
    const int64_t systemLength = 48000 * 29 / 10;
    auto system = sineWithClick(2, systemLength, 48000, click);
    system[1][size_t(click + 1)] = 0;
    system[1][size_t(click)] = 0.95f; // both channels' clicks at the same frame as the microphone's
    writeCapture(folder / "system_capture.mp4", 48000, system);
    AudioConverter::convertToM4A(folder / "mic.caf", folder / "mic.m4a");
    AudioConverter::convertToM4A(folder / "system_capture.mp4", folder / "system.m4a");

    AudioConverter::mix(folder / "mic.m4a", folder / "system.m4a", folder / "recording.m4a");
    const auto mixed = readBack(folder / "recording.m4a");
    EXPECT_EQ(mixed.sampleRate, 48000);
    ASSERT_EQ(mixed.planes.size(), 2u);
    EXPECT_EQ(mixed.planes[0].size(), size_t(48000 * 3)) << "the longer track's length";
    for (const auto& plane : mixed.planes) {
        EXPECT_NEAR(double(audiotest::firstAbove(plane, 0.3f)), double(click), 2);
        const std::vector<float> after(plane.begin() + click + 16, plane.end());
        EXPECT_EQ(audiotest::firstAbove(after, 0.3f), -1) << "a second, shifted click";
        // Past the system track's end only the microphone's sine is left (the last AAC frames ring where
        // the audio stops, so they are not looked at).
        const auto tail = std::max_element(plane.begin() + systemLength + 64, plane.end() - 2048,
                                           [](float a, float b) { return std::fabs(a) < std::fabs(b); });
        EXPECT_NEAR(std::fabs(*tail), 0.05, 0.01);
    }
}

// A track whose header states ten seconds but that holds one (a capture cut off mid-write): the
// conversion and the mix end with its audio instead of adding nine seconds of silence.
TEST(AudioConverter, ATrackThatEndsEarlyConvertsAndMixesToTheAudioItHolds) {
    testsupport::TemporaryDirectory folder;
    audiotest::writeRawWav(folder / "cut.wav", 48000, 1, 32, sineWithClick(1, 48000, 48000, 24000)[0],
                           48000 * 4 * 10, 48000 * 10);
    AudioConverter::convertToM4A(folder / "cut.wav", folder / "cut.m4a");
    EXPECT_EQ(readBack(folder / "cut.m4a").planes[0].size(), 48000u);
    AudioConverter::mix(folder / "cut.wav", folder / "cut.m4a", folder / "mix.m4a");
    const auto mixed = readBack(folder / "mix.m4a");
    EXPECT_EQ(mixed.planes[0].size(), 48000u);
    expectClickAt(mixed, 24000);
}

TEST(AudioConverter, MixResamplesSpreadsMonoAndClipsTheSumAtFullScale) {
    testsupport::TemporaryDirectory folder;
    audiotest::Planes loud(1, std::vector<float>(44100));
    for (size_t f = 0; f < loud[0].size(); ++f)
        loud[0][f] = 0.7f * float(std::sin(2 * M_PI * 441.0 * double(f) / 44100));
    writeCaf(folder / "a.caf", 44100, loud);
    writeCaf(folder / "b.caf", 44100, loud);
    AudioConverter::mix(folder / "a.caf", folder / "b.caf", folder / "mix.m4a");
    const auto mixed = readBack(folder / "mix.m4a");
    EXPECT_EQ(mixed.planes[0].size(), 48000u);
    for (const auto& plane : mixed.planes) {
        float peak = 0;
        for (float sample : plane)
            peak = std::max(peak, std::fabs(sample));
        EXPECT_GT(peak, 0.9f);
        EXPECT_LT(peak, 1.1f) << "1.4 unclipped";
    }
}

TEST(AudioConverter, MixLeavesOutAnInputWithoutAudioAndFailsWhenNeitherHasAny) {
    testsupport::TemporaryDirectory folder;
    writeCaf(folder / "mic.caf", 48000, sineWithClick(1, 24000, 48000, 1000));
    writeFileWithoutAudio(folder / "screen.mp4");

    AudioConverter::mix(folder / "mic.caf", folder / "screen.mp4", folder / "recording.m4a");
    const auto alone = readBack(folder / "recording.m4a");
    ASSERT_EQ(alone.planes.size(), 2u);
    EXPECT_EQ(alone.planes[0].size(), 24000u);
    EXPECT_NEAR(double(audiotest::firstAbove(alone.planes[1], 0.3f)), 1000, 2) << "mono on both sides";

    expectConversionError([&] { AudioConverter::mix(folder / "screen.mp4", folder / "screen.mp4", folder / "recording.m4a"); },
                          ConversionError::Kind::exportFailed,
                          "変換に失敗しました: どちらの入力にも音声トラックがありません");
    EXPECT_FALSE(fs::exists(folder / "recording.m4a"));
}

TEST(AudioConverter, ACancelledRunLeavesNoDestination) {
    testsupport::TemporaryDirectory folder;
    writeCaf(folder / "mic.caf", 48000, sineWithClick(1, 48000, 48000, 100));
    std::stop_source stop;
    stop.request_stop();
    EXPECT_THROW(AudioConverter::convertToM4A(folder / "mic.caf", folder / "mic.m4a", stop.get_token()),
                 orvane::CancellationError);
    EXPECT_THROW(AudioConverter::mix(folder / "mic.caf", folder / "mic.caf", folder / "rec.m4a", stop.get_token()),
                 orvane::CancellationError);
    EXPECT_FALSE(fs::exists(folder / "mic.m4a"));
    EXPECT_FALSE(fs::exists(folder / "rec.m4a"));
}

} // namespace
