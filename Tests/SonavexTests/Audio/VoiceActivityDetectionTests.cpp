#include "Sonavex/Core/Audio/AudioProcessor.h"
#include "Sonavex/Core/Audio/VoiceActivity/EnergyVAD.h"
#include "Support/Audio/SpokenAudio.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace {

using sonavex::AudioProcessor;
using sonavex::EnergyVAD;
using sonavex::IndexRange;
using sonavex::VoiceActivityDetector;

/// Flags fixed in advance, whatever the samples: the range logic on its own.
class ScriptedDetector : public VoiceActivityDetector {
public:
    ScriptedDetector(int64_t frameLength, std::vector<bool> flags)
        : VoiceActivityDetector(16000, frameLength, 0), flags_(std::move(flags)) {}
    std::vector<bool> voiceActivity(std::span<const float>) const override { return flags_; }

private:
    std::vector<bool> flags_;
};

/// `frames` frames of `frameLength` samples, frame i at the constant level levels[i].
std::vector<float> framesAt(const std::vector<float>& levels, std::size_t frameLength) {
    std::vector<float> samples;
    for (float level : levels) {
        samples.insert(samples.end(), frameLength, level);
    }
    return samples;
}

TEST(VoiceActivityDetection, TheSecondsFormTruncatesInSinglePrecisionAndRefusesWhatHasNoCount) {
    EnergyVAD vad(16000, 0.1f, 0.0f, 0.02f);
    EXPECT_EQ(vad.frameLengthSamples, 1600);
    EXPECT_EQ(vad.frameOverlapSamples, 0);
    // 0.0999 s × 16000 is 1598.4: truncated, not rounded.
    EXPECT_EQ(EnergyVAD(16000, 0.0999f, 0.05f, 0.02f).frameLengthSamples, 1598);
    EXPECT_EQ(EnergyVAD(16000, 0.0999f, 0.05f, 0.02f).frameOverlapSamples, 800);

    // 16,001 samples make 11 frames, the last of one sample: a loud last sample voices it alone.
    std::vector<float> samples(16001, 0.0f);
    samples.back() = 1.0f;
    auto flags = vad.voiceActivity(samples);
    ASSERT_EQ(flags.size(), 11u);
    EXPECT_TRUE(flags[10]);
    EXPECT_EQ(vad.calculateActiveChunks(samples), (std::vector<IndexRange>{{16000, 16001}}));

    for (float bad :
         {std::numeric_limits<float>::infinity(), std::numeric_limits<float>::quiet_NaN(), 1e16f}) {
        EXPECT_THROW(EnergyVAD(16000, bad, 0.0f, 0.02f), std::invalid_argument) << bad;
        EXPECT_THROW(EnergyVAD(16000, 0.1f, bad, 0.02f), std::invalid_argument) << bad;
    }
    // Frames shorter than a sample cannot be counted.
    EXPECT_THROW(EnergyVAD(16000, 0.00001f, 0.0f, 0.02f), std::invalid_argument);
}

TEST(VoiceActivityDetection, AFrameIsVoicedOnlyWhenItsLevelIsStrictlyAboveTheThreshold) {
    // Constant frames: the level is the constant exactly.
    EnergyVAD vad(16000, int64_t{100}, int64_t{0}, 0.25f);
    auto samples = framesAt({0.25f, 0.2500001f, -0.5f, 0.0f}, 100);
    EXPECT_EQ(vad.voiceActivity(samples), (std::vector<bool>{false, true, true, false}));
    // A level that is not a number is silent.
    samples[0] = std::numeric_limits<float>::quiet_NaN();
    EXPECT_FALSE(vad.voiceActivity(samples)[0]);
    EXPECT_TRUE(vad.voiceActivity({}).empty());
    EXPECT_TRUE(vad.calculateActiveChunks({}).empty());
    EXPECT_TRUE(vad.calculateActiveChunks(std::vector<float>(1000, 0.1f)).empty());
}

TEST(VoiceActivityDetection, RangesAreMaximalVoicedRunsInSamplesAndTheOverlapOnlyWidensTheMeasure) {
    ScriptedDetector scripted(1600, {true, true, false, true});
    EXPECT_EQ(scripted.calculateActiveChunks(std::vector<float>(5000)),
              (std::vector<IndexRange>{{0, 3200}, {4800, 5000}}));
    // Flags beyond the samples end at the last sample, never past it.
    ScriptedDetector tooMany(1600, {false, true, true, true});
    EXPECT_EQ(tooMany.calculateActiveChunks(std::vector<float>(2000)),
              (std::vector<IndexRange>{{1600, 2000}}));

    // Frame 0 is silent, frame 1 loud. With an 800-sample overlap frame 0 reaches into frame 1 and is
    // voiced, but its range still ends where the frame does.
    auto samples = framesAt({0.0f, 0.5f, 0.0f, 0.0f}, 1600);
    EnergyVAD overlapping(16000, int64_t{1600}, int64_t{800}, 0.02f);
    EXPECT_EQ(overlapping.voiceActivity(samples), (std::vector<bool>{true, true, false, false}));
    EXPECT_EQ(overlapping.calculateActiveChunks(samples), (std::vector<IndexRange>{{0, 3200}}));
    EXPECT_EQ(EnergyVAD(16000, int64_t{1600}, int64_t{0}, 0.02f).calculateActiveChunks(samples),
              (std::vector<IndexRange>{{1600, 3200}}));

    EXPECT_THROW(overlapping.voiceActivityIndexToAudioSampleIndex(std::numeric_limits<int64_t>::max() / 1000),
                 std::out_of_range);
}

TEST(VoiceActivityDetection, TheLongestSilenceIsTheEarliestOfTheLongestRuns) {
    ScriptedDetector vad(1600, {});
    using Flags = std::vector<bool>;
    EXPECT_EQ(vad.findLongestSilence(Flags{false, false, true, false, false}), (IndexRange{0, 2}));
    EXPECT_EQ(vad.findLongestSilence(Flags{true, false, false, false}), (IndexRange{1, 4}));
    EXPECT_FALSE(vad.findLongestSilence(Flags{true, true}));
    EXPECT_FALSE(vad.findLongestSilence(Flags{}));
}

TEST(VoiceActivityDetection, FramesPastTheSamplesAreSilentAndTheArgumentsAreChecked) {
    std::vector<float> samples(1000, 0.5f);
    // Five frames asked of samples that fill one: the rest measure nothing and are silent.
    EXPECT_EQ(AudioProcessor::calculateVoiceActivityInChunks(samples, 5, 1000, 0, 0.02f),
              (std::vector<bool>{true, false, false, false, false}));
    // An overlap beyond any length stays within the samples; a negative one narrows the measure.
    auto quietThenLoud = framesAt({0.0f, 0.5f}, 500);
    EXPECT_EQ(AudioProcessor::calculateVoiceActivityInChunks(quietThenLoud, 2, 500,
                                                             std::numeric_limits<int64_t>::max(), 0.02f),
              (std::vector<bool>{true, true}));
    EXPECT_EQ(AudioProcessor::calculateVoiceActivityInChunks(quietThenLoud, 2, 500, -10000, 0.02f),
              (std::vector<bool>{false, false}));
    EXPECT_THROW(AudioProcessor::calculateVoiceActivityInChunks(samples, -1, 1000, 0, 0.02f),
                 std::invalid_argument);
    EXPECT_THROW(AudioProcessor::calculateVoiceActivityInChunks(samples, 1, 0, 0, 0.02f),
                 std::invalid_argument);

    // A detector used without a subclass hears nothing.
    VoiceActivityDetector plain(16000, 1600, 0);
    EXPECT_EQ(plain.voiceActivity(std::vector<float>(3201, 1.0f)), (std::vector<bool>{false, false, false}));
}

TEST(VoiceActivityDetection, EnergyFunctions) {
    std::vector<float> samples{0.5f, -0.5f, -0.1f, 0.7f};
    auto energy = AudioProcessor::calculateEnergy(samples);
    EXPECT_NEAR(energy.avg, std::sqrt((0.25 + 0.25 + 0.01 + 0.49) / 4), 1e-7);
    EXPECT_FLOAT_EQ(energy.max, 0.7f);
    EXPECT_FLOAT_EQ(energy.min, 0.1f);
    auto empty = AudioProcessor::calculateEnergy({});
    EXPECT_EQ(empty.avg + empty.max + empty.min, 0.0f);

    auto constant = [](float level) { return std::vector<float>(160, level); };
    // Without a reference: -60 dB is 0, -20 dB two thirds, full scale and louder 1.
    EXPECT_EQ(AudioProcessor::calculateRelativeEnergy(constant(0.001f), std::nullopt), 0.0f);
    EXPECT_NEAR(AudioProcessor::calculateRelativeEnergy(constant(0.1f), std::nullopt), 2.0f / 3.0f, 1e-5);
    EXPECT_EQ(AudioProcessor::calculateRelativeEnergy(constant(1.0f), std::nullopt), 1.0f);
    // Silence is 0 against any reference below full scale, and against none.
    for (std::optional<float> reference :
         {std::optional<float>(), std::optional(0.5f), std::optional(0.0f)}) {
        EXPECT_EQ(AudioProcessor::calculateRelativeEnergy(constant(0.0f), reference), 0.0f);
    }
    // At the reference level 0, halfway in decibels between it and full scale 0.5.
    EXPECT_NEAR(AudioProcessor::calculateRelativeEnergy(constant(0.01f), 0.01f), 0.0f, 1e-6);
    EXPECT_NEAR(AudioProcessor::calculateRelativeEnergy(constant(0.1f), 0.01f), 0.5f, 1e-6);
    // No reference yet (+infinity) gives 0, not a number.
    EXPECT_EQ(AudioProcessor::calculateRelativeEnergy(constant(0.5f), std::numeric_limits<float>::infinity()),
              0.0f);

    auto nonSilent = AudioProcessor::calculateNonSilentChunks(framesAt({0.0f, 0.03f, 0.01f}, 1600));
    EXPECT_EQ(nonSilent, (std::vector<IndexRange>{{1600, 3200}}));
}

TEST(VoiceActivityDetection, AVoiceCheckLooksAtTheOlderPartOfTheNewestBuffers) {
    // 30 energies; one loud value at position p of the list.
    auto withLoudAt = [](std::size_t position) {
        std::vector<float> energies(30, 0.0f);
        energies[position] = 0.9f;
        return energies;
    };
    // 2.5 s: the newest 25 values (5..29), of which the first 15 (5..19) count.
    EXPECT_TRUE(AudioProcessor::isVoiceDetected(withLoudAt(5), 2.5f, 0.3f));
    EXPECT_TRUE(AudioProcessor::isVoiceDetected(withLoudAt(19), 2.5f, 0.3f));
    EXPECT_FALSE(AudioProcessor::isVoiceDetected(withLoudAt(20), 2.5f, 0.3f));
    // 1.5 s: the newest 15 values (15..29), of which the first 10 (15..24) count.
    EXPECT_TRUE(AudioProcessor::isVoiceDetected(withLoudAt(24), 1.5f, 0.3f));
    EXPECT_FALSE(AudioProcessor::isVoiceDetected(withLoudAt(25), 1.5f, 0.3f));
    // The comparison is strict; more seconds than the list holds take all of it; nothing is considered
    // for negative or not-a-number seconds.
    EXPECT_FALSE(AudioProcessor::isVoiceDetected(std::vector<float>(5, 0.3f), 0.5f, 0.3f));
    EXPECT_TRUE(AudioProcessor::isVoiceDetected(std::vector<float>{0.9f}, 1e30f, 0.3f));
    EXPECT_FALSE(AudioProcessor::isVoiceDetected(withLoudAt(29), -1.0f, 0.3f));
    EXPECT_FALSE(AudioProcessor::isVoiceDetected(withLoudAt(29), std::nanf(""), 0.3f));
}

TEST(VoiceActivityDetection, SpokenPhrasesAreFoundAndThePausesBetweenThemAreNot) {
    const int64_t pause = 24000;
    auto audio =
        audiotest::speakWithPauses({"good morning", "the weather is fine today", "thank you"}, pause, 16000);
    EnergyVAD vad(16000, 0.1f, 0.0f, 0.02f);
    auto ranges = vad.calculateActiveChunks(audio.samples);
    ASSERT_FALSE(ranges.empty());
    // Every range lies inside a phrase (widened to whole frames), and every phrase has a range.
    for (const auto& range : ranges) {
        bool inside = false;
        for (auto [start, end] : audio.phrases) {
            inside = inside || (range.startIndex >= start / 1600 * 1600 && range.endIndex <= end + 1600);
        }
        EXPECT_TRUE(inside) << range.startIndex << ".." << range.endIndex;
    }
    for (auto [start, end] : audio.phrases) {
        bool heard = false;
        for (const auto& range : ranges) {
            heard = heard || (range.startIndex < end && range.endIndex > start);
        }
        EXPECT_TRUE(heard) << start << ".." << end;
    }
    // The pauses are the longest silences; the longest of all is the earliest of the equal ones.
    auto silence = vad.findLongestSilence(vad.voiceActivity(audio.samples));
    ASSERT_TRUE(silence);
    EXPECT_GE((silence->endIndex - silence->startIndex) * 1600, pause - 1600);
    EXPECT_LE(silence->startIndex * 1600, audio.phrases[1].first);
}

} // namespace
