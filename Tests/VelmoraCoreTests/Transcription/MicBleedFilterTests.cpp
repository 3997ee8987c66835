#include "Sonavex/Utilities/Errors/WhisperError.h"
#include "Support/TestSupport.h"
#include "TrackFiles.h"
#include "VelmoraCore/Transcription/MicBleedFilter.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <random>

using velmora::MicBleedFilter;
using velmora::TranscriptSegment;
using Segments = std::vector<TranscriptSegment>;

namespace {

// Noise, so that a copy correlates with itself at one shift only.
std::vector<float> noise(std::size_t count, unsigned seed) {
    std::mt19937 generator(seed);
    std::uniform_real_distribution<float> uniform(-0.5f, 0.5f);
    std::vector<float> samples(count);
    for (float& sample : samples) {
        sample = uniform(generator);
    }
    return samples;
}

// The system track, and a microphone track equal to it `delay` samples earlier: mic[i] = sys[i + delay].
struct Tracks {
    std::vector<float> mic;
    std::vector<float> sys;
};
Tracks leaking(std::size_t count, std::int64_t delay) {
    Tracks tracks{std::vector<float>(count, 0.0f), noise(count, 7)};
    for (std::size_t i = 0; i < count; ++i) {
        const auto j = static_cast<std::int64_t>(i) + delay;
        if (j >= 0 && j < static_cast<std::int64_t>(count)) {
            tracks.mic[i] = tracks.sys[static_cast<std::size_t>(j)];
        }
    }
    return tracks;
}

Segments keptOf(const Tracks& tracks, const Segments& segments, float threshold = 0.5f, float maxLag = 0.3f) {
    return MicBleedFilter::filter(segments, tracks.mic, tracks.sys, threshold, maxLag);
}

} // namespace

TEST(MicBleedFilter, PearsonIsZeroWithoutAComparisonAndOneForACopy) {
    const std::vector<float> a = noise(1000, 1);
    EXPECT_NEAR(MicBleedFilter::pearson(a, a), 1.0f, 1e-5f);
    std::vector<float> inverted(a);
    for (float& sample : inverted) {
        sample = -sample;
    }
    EXPECT_NEAR(MicBleedFilter::pearson(a, inverted), -1.0f, 1e-5f);
    EXPECT_EQ(MicBleedFilter::pearson(a, std::vector<float>(999, 0.1f)), 0.0f);
    EXPECT_EQ(MicBleedFilter::pearson({}, {}), 0.0f);
    EXPECT_EQ(MicBleedFilter::pearson(a, std::vector<float>(1000, 0.25f)), 0.0f); // no variance
}

TEST(MicBleedFilter, ALeakedCopyWithinTheLargestShiftIsDroppedAndOnlyTheTriedShiftsCount) {
    // Shifts are tried every 240 samples (0.3 s / 20) from −4,800 to +4,800.
    const Segments segment = {{2.0, 3.0, "漏れ"}};
    EXPECT_TRUE(keptOf(leaking(80000, 240), segment).empty());
    EXPECT_TRUE(keptOf(leaking(80000, -4800), segment).empty());
    EXPECT_TRUE(keptOf(leaking(80000, 0), segment, 0.5f, 0.0f).empty());
    // Between the tried shifts, past the largest, or with only shift 0 tried, the copy is not found.
    EXPECT_EQ(keptOf(leaking(80000, 120), segment), segment);
    EXPECT_EQ(keptOf(leaking(80000, 5040), segment), segment);
    EXPECT_EQ(keptOf(leaking(80000, 240), segment, 0.5f, 0.0f), segment);
    // Below 20 samples of largest shift the step is one sample: 0.001 s is 16 samples, all tried.
    EXPECT_TRUE(keptOf(leaking(80000, 7), segment, 0.5f, 0.001f).empty());
}

TEST(MicBleedFilter, TheThresholdIsReachedAtEqualityAndNegativeOrSilentMatchesNeverCount) {
    Tracks tracks = leaking(48000, 0);
    const std::vector<float> other = noise(48000, 99);
    for (std::size_t i = 0; i < tracks.mic.size(); ++i) {
        tracks.mic[i] = 0.6f * tracks.mic[i] + 0.4f * other[i]; // a partial copy
    }
    const Segments segment = {{1.0, 2.0, "半分"}};
    const float r = MicBleedFilter::pearson(std::span(tracks.mic).subspan(16000, 16000),
                                            std::span(tracks.sys).subspan(16000, 16000));
    EXPECT_TRUE(keptOf(tracks, segment, r, 0.0f).empty());
    EXPECT_EQ(keptOf(tracks, segment, std::nextafter(r, 2.0f), 0.0f), segment);

    Tracks inverted = leaking(48000, 0);
    for (float& sample : inverted.mic) {
        sample = -sample;
    }
    EXPECT_EQ(keptOf(inverted, segment), segment);
    const Tracks silent{std::vector<float>(48000, 0.0f), noise(48000, 3)};
    EXPECT_EQ(keptOf(silent, segment), segment);
    // With no shift possible the best stays 0: dropped only by a threshold of 0 or less.
    EXPECT_EQ(keptOf(silent, segment, 0.5f), segment);
    EXPECT_TRUE(keptOf(silent, segment, 0.0f).empty());
}

TEST(MicBleedFilter, SegmentsWithoutAUsableRangeAreKeptUnchanged) {
    const Tracks tracks = leaking(32000, 0);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const Segments unusable = {
        {-0.1, 1.0, "before the start"}, {1.0, 2.1, "past the end"}, {1.0, 1.0, "empty"},
        {1.5, 1.0, "reversed"},          {nan, 1.0, "no start"},     {0.5, 1e300, "no end"},
    };
    // (Compared by text: a segment with a NaN time is unequal to itself.)
    std::vector<std::string> texts;
    for (const TranscriptSegment& segment : keptOf(tracks, unusable)) {
        texts.push_back(segment.text);
    }
    EXPECT_EQ(texts, (std::vector<std::string>{"before the start", "past the end", "empty", "reversed",
                                               "no start", "no end"}));
    // In order and unchanged among dropped ones.
    const Segments mixed = {{0.0, 0.5, "a"}, {-1.0, 0.5, "b"}, {1.0, 1.5, "c"}, {1.5, 3.0, "d"}};
    EXPECT_EQ(keptOf(tracks, mixed), (Segments{{-1.0, 0.5, "b"}, {1.5, 3.0, "d"}}));
}

TEST(MicBleedFilter, NearTheEdgesOnlyShiftsThatKeepTheSystemWindowInsideAreTried) {
    // The copy sits 240 samples later in the system track; a segment starting at sample 100 cannot be
    // compared at −240 but is at +240.
    const Tracks later = leaking(48000, 240);
    EXPECT_TRUE(keptOf(later, {{100.0 / 16000, 1.0, "start"}}).empty());
    // A copy 240 samples earlier needs the shift −240, which leaves the system track there.
    const Tracks earlier = leaking(48000, -240);
    EXPECT_EQ(keptOf(earlier, {{100.0 / 16000, 1.0, "start"}}).size(), 1u);
    EXPECT_TRUE(keptOf(earlier, {{1000.0 / 16000, 1.0, "start"}}).empty());
    // At the end the +240 shift leaves the track; −240 still fits.
    EXPECT_EQ(keptOf(later, {{2.0, 3.0 - 100.0 / 16000, "end"}}).size(), 1u);
    EXPECT_TRUE(keptOf(earlier, {{2.0, 3.0 - 100.0 / 16000, "end"}}).empty());
}

TEST(MicBleedFilter, FilesAreReadOnlyWhenThereAreSegmentsAndTheirErrorsPassThrough) {
    // (Filtering read files is shown by velmoractl bleed's test.)
    testsupport::TemporaryDirectory folder;
    const std::string missing = (folder / "none.m4a").string();
    EXPECT_TRUE(MicBleedFilter::removeBleedSegments({}, missing, missing, 0.5f, 0.3f).empty());
    EXPECT_THROW(MicBleedFilter::removeBleedSegments({{0.5, 1.5, "x"}}, missing, missing, 0.5f, 0.3f),
                 sonavex::WhisperError);
    const Tracks tracks = leaking(16000, 0);
    EXPECT_THROW(MicBleedFilter::filter({{0.5, 1.0, "x"}}, tracks.mic, tracks.sys, 0.5f,
                                        std::numeric_limits<float>::infinity()),
                 std::invalid_argument);
}
