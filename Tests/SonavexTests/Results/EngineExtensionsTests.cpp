#include "Sonavex/Core/Results/TranscriptionResult.h"
#include "Sonavex/Utilities/Extensions/PcmBufferExtensions.h"
#include "Sonavex/Utilities/Extensions/ResultExtensions.h"
#include "Sonavex/Utilities/Extensions/SegmentExtensions.h"
#include "Sonavex/Utilities/Extensions/StringExtensions.h"
#include "Sonavex/Utilities/Logging/Logging.h"
#include "SonavexTests/LogCapture.h"
#include "SonavexTests/SignpostSink.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace {

using sonavex::appendContents;
using sonavex::Logging;
using sonavex::SignpostEvent;

std::shared_ptr<audio::PcmBuffer> numbered(double rate, std::uint32_t channels, std::uint32_t frames) {
    auto buffer = audio::PcmBuffer::create(*audio::PcmFormat::standard(rate, channels), frames);
    for (std::uint32_t c = 0; c < channels; ++c) {
        for (std::uint32_t i = 0; i < frames; ++i) {
            buffer->channel(c)[i] = static_cast<float>(c * 100000 + i);
        }
    }
    buffer->setFrameLength(frames);
    return buffer;
}

bool contains(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

TEST(AppendContents, AppendsWhatFitsAndRefusesWhatCannotBeAppended) {
    auto source = numbered(16000, 1, 4000);
    auto receiver = audio::PcmBuffer::create(source->format(), 2000);
    LogCapture log;
    EXPECT_TRUE(appendContents(*receiver, *source, 0, 1000));
    EXPECT_EQ(receiver->frameLength(), 1000u);
    EXPECT_TRUE(appendContents(*receiver, *source, 1000, 1500));
    EXPECT_EQ(receiver->frameLength(), 2000u);
    EXPECT_TRUE(contains(log.lines(), "Insufficient space in buffer, reducing frame count to fit"));
    for (std::uint32_t i = 0; i < 2000; ++i) {
        ASSERT_EQ(receiver->channel(0)[i], static_cast<float>(i));
    }

    auto untouched = audio::PcmBuffer::create(source->format(), 2000);
    EXPECT_FALSE(appendContents(*untouched, *source, 3500, 1000));
    EXPECT_TRUE(contains(log.lines(), "Insufficient audio in buffer"));
    EXPECT_FALSE(appendContents(*untouched, *source, -1, 10));
    EXPECT_FALSE(appendContents(*untouched, *numbered(44100, 1, 100), 0, 10));
    EXPECT_TRUE(contains(log.lines(), "Format mismatch"));
    EXPECT_EQ(untouched->frameLength(), 0u);
}

TEST(AppendContents, CopiesEveryChannelOfAPlanarBuffer) {
    auto source = numbered(48000, 3, 500);
    auto receiver = audio::PcmBuffer::create(source->format(), 1000);
    ASSERT_TRUE(appendContents(*receiver, *source, 100, 300));
    ASSERT_TRUE(appendContents(*receiver, *source, 0, 50));
    ASSERT_EQ(receiver->frameLength(), 350u);
    for (std::uint32_t c = 0; c < 3; ++c) {
        EXPECT_EQ(receiver->channel(c)[0], c * 100000 + 100.0f) << "channel " << c;
        EXPECT_EQ(receiver->channel(c)[299], c * 100000 + 399.0f) << "channel " << c;
        EXPECT_EQ(receiver->channel(c)[349], c * 100000 + 49.0f) << "channel " << c;
    }
}

TEST(StringClean, SpecialTokenCharactersGoOnlyFromTheEnds) {
    EXPECT_EQ(sonavex::trimmingSpecialTokenCharacters("<|en|>"), "en");
    EXPECT_EQ(sonavex::trimmingSpecialTokenCharacters("a<|b|>c"), "a<|b|>c");
    EXPECT_EQ(sonavex::trimmingSpecialTokenCharacters("<|>"), "");
}

TEST(StringClean, NormalizedKeepsLowerCaseWordsSeparatedBySingleSpaces) {
    EXPECT_EQ(sonavex::normalized("  Hello,  World -- Again!  "), "hello world again");
    EXPECT_EQ(sonavex::normalized("Don't \u201Cstop\u201D\u3002"), "dont stop");
    EXPECT_EQ(sonavex::normalized("\u00C9T\u00C9\n"), "\u00E9t\u00E9");
    // "$", "+" and "<" are symbols, not punctuation.
    EXPECT_EQ(sonavex::normalized("$5 + <x>"), "$5 + <x>");
}

TEST(Signposts, IntervalsBeginAndEndOnceAndAreSilentWhileOff) {
    auto& signposter = Logging::FeatureExtractor::signposter();
    {
        SignpostSink sink;
        auto interval = Logging::beginSignpost("ExtractAudioFeatures", signposter);
        Logging::endSignpost("ExtractAudioFeatures", interval, signposter);
        Logging::endSignpost("ExtractAudioFeatures", interval, signposter);
        const auto events = sink.events();
        ASSERT_EQ(events.size(), 3u);
        EXPECT_EQ(events[0].kind, SignpostEvent::Kind::intervalBegin);
        EXPECT_EQ(events[1].kind, SignpostEvent::Kind::intervalEnd);
        for (const auto& event : events) {
            EXPECT_EQ(event.name, "ExtractAudioFeatures");
            EXPECT_EQ(event.category, "FeatureExtractor");
            EXPECT_EQ(event.subsystem, Logging::subsystem);
            EXPECT_EQ(event.signpostId, interval.signpostId);
        }
        EXPECT_EQ(events[0].message, "");
        EXPECT_EQ(events[1].message, "");
        EXPECT_EQ(events[2].message, "[Error] Interval already ended");

        auto other = Logging::beginSignpost("Decode", Logging::TranscribeTask::signposter());
        EXPECT_NE(other.signpostId, interval.signpostId);
    }
    // Off again: nothing is emitted and the interval stays open.
    auto quiet = Logging::beginSignpost("EncodeAudio", Logging::AudioEncoding::signposter());
    Logging::endSignpost("EncodeAudio", quiet, Logging::AudioEncoding::signposter());
    EXPECT_FALSE(quiet.ended);
}

} // namespace

namespace {

TEST(ResultLists, FailuresBecomeNoValueInPlace) {
    using Results = std::vector<std::shared_ptr<sonavex::TranscriptionResult>>;
    auto a = sonavex::TranscriptionResult::make("a", {}, "en", {});
    auto b = sonavex::TranscriptionResult::make("b", {}, "en", {});
    std::vector<sonavex::Result<Results>> outcomes = {
        sonavex::Result<Results>::success({a, b}),
        sonavex::Result<Results>::failure(std::make_exception_ptr(std::runtime_error("lost"))),
        sonavex::Result<Results>::success({})};
    auto values = sonavex::toOptionalArrays(outcomes);
    ASSERT_EQ(values.size(), 3u);
    EXPECT_EQ(values[0], (Results{a, b}));
    EXPECT_FALSE(values[1]);
    EXPECT_EQ(values[2], Results{});
}

TEST(ResultLists, ASegmentIsFoundByItsStartAlone) {
    sonavex::TranscriptionSegment segment;
    segment.start = 1.5f;
    segment.text = "one";
    EXPECT_FALSE(sonavex::contains(std::vector<sonavex::TranscriptionSegment>{}, segment));
    sonavex::TranscriptionSegment other = segment;
    other.text = "another";
    other.end = 9.0f;
    EXPECT_TRUE(sonavex::contains({other}, segment));
    other.start = 1.5001f;
    EXPECT_FALSE(sonavex::contains({other}, segment));
}

} // namespace
