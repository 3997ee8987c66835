#include "Sonavex/Utilities/Errors/EncodingError.h"
#include "Sonavex/Utilities/Formats/JsonCoding.h"
#include "Sonavex/Utilities/Writers/WriteJSON.h"
#include "Sonavex/Utilities/Writers/WriteSRT.h"
#include "Sonavex/Utilities/Writers/WriteVTT.h"
#include "SonavexTests/ResultFixtures.h"
#include "Support/TestSupport.h"

#include <cmath>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <limits>

using namespace sonavex;

namespace {

std::shared_ptr<TranscriptionResult> resultWith(std::vector<TranscriptionSegment> segments) {
    return TranscriptionResult::make("", std::move(segments), "en", {});
}

class ResultWriters : public testing::Test {
protected:
    /// Writes and expects success; returns the file's contents.
    std::string written(ResultWriting& writer, const TranscriptionResult& result, const std::string& name) {
        auto outcome = writer.write(result, name);
        EXPECT_TRUE(outcome.isSuccess());
        if (!outcome.isSuccess()) {
            return {};
        }
        const std::string extension = outcome.get().substr(outcome.get().rfind('.'));
        return testsupport::readFile(folder / (name + extension));
    }

    testsupport::TemporaryDirectory folder;
    WriteJSON json{folder.path().string()};
    WriteSRT srt{folder.path().string()};
    WriteVTT vtt{folder.path().string()};
};

} // namespace

TEST_F(ResultWriters, FormatTimeIn32BitArithmetic) {
    EXPECT_EQ(vtt.formatTime(62.5f, false, "."), "01:02.500");
    EXPECT_EQ(vtt.formatTime(62.5f, true, ","), "00:01:02,500");
    EXPECT_EQ(vtt.formatTime(3599.5f, false, "."), "59:59.500");
    EXPECT_EQ(vtt.formatTime(3600.0f, false, "."), "01:00:00.000");
    EXPECT_EQ(vtt.formatTime(0.1f, false, "."), "00:00.100");
    EXPECT_EQ(vtt.formatTime(0.29f, false, "."), "00:00.290");
    EXPECT_EQ(vtt.formatTime(59.999f, false, "."), "00:59.999");
    EXPECT_EQ(vtt.formatTime(360000.0f, true, "."), "100:00:00.000");
    EXPECT_EQ(srt.formatTime(1.5f, false, " and "), "00:01 and 500");
}

TEST_F(ResultWriters, FormatTimeOfTimesWithoutAFormIsSafe) {
    const float infinity = std::numeric_limits<float>::infinity();
    EXPECT_EQ(vtt.formatTime(std::nanf(""), false, "."), "00:00.000");
    EXPECT_EQ(vtt.formatTime(infinity, true, ","), "00:00:00,000");
    EXPECT_EQ(vtt.formatTime(-infinity, false, "."), "00:00.000");
    const std::string largest = vtt.formatTime(std::numeric_limits<float>::max(), false, ".");
    EXPECT_EQ(largest.rfind("9223372036854775807:", 0), 0u) << largest;
    EXPECT_EQ(vtt.formatTime(1e30f, false, "."), largest);
    // Negative times have no form either.
    EXPECT_EQ(vtt.formatTime(-90, false, "."), "00:00.000");
    EXPECT_EQ(srt.formatTime(-0.5f, true, ","), "00:00:00,000");
    EXPECT_EQ(vtt.formatTime(-std::numeric_limits<float>::max(), false, "."), "00:00.000");
}

TEST_F(ResultWriters, SubtitlesHaveOneEntryPerWordOrPerSegment) {
    auto result = resultWith({makeSegment(0, 2.5f, " Hello there.",
                                          std::vector<WordTiming>{{" Hello", {1}, 0, 0.62f, 0.9f},
                                                                  {" there", {2}, 0.62f, 1.5f, 0.9f},
                                                                  {".", {3}, 1.5f, 2.5f, 0.9f}}),
                              makeSegment(3725.1f, 3727.999f, " Second", std::vector<WordTiming>{})});
    EXPECT_EQ(written(srt, *result, "talk"), "1\n00:00:00,000 --> 00:00:00,620\n Hello\n\n"
                                             "2\n00:00:00,620 --> 00:00:01,500\n there\n\n"
                                             "3\n00:00:01,500 --> 00:00:02,500\n.\n\n"
                                             "4\n01:02:05,100 --> 01:02:07,999\n Second\n\n");
    EXPECT_EQ(written(vtt, *result, "talk"), "WEBVTT\n\n"
                                             "00:00.000 --> 00:00.620\n Hello\n\n"
                                             "00:00.620 --> 00:01.500\n there\n\n"
                                             "00:01.500 --> 00:02.500\n.\n\n"
                                             "01:02:05.100 --> 01:02:07.999\n Second\n\n");
}

TEST_F(ResultWriters, ATextCannotEndItsCueEarly) {
    // A blank line ends a cue (line breaks of any kind, blanks between them, one at either end), and
    // "-->" may not stand in a WebVTT cue's text.
    auto result =
        resultWith({makeSegment(0, 1, " One\n\n2\n00:00:05,000 --> 00:00:06,000\n Two"),
                    makeSegment(1, 2, "\n a\r\n \t\r\nb \rc\n\n"),
                    makeSegment(2, 3, " x", std::vector<WordTiming>{{" a-->b\r\n", {1}, 2, 3, 0.9f}})});
    EXPECT_EQ(written(srt, *result, "talk"), "1\n00:00:00,000 --> 00:00:01,000\n"
                                             " One\n2\n00:00:05,000 --> 00:00:06,000\n Two\n\n"
                                             "2\n00:00:01,000 --> 00:00:02,000\n a\nb \nc\n\n"
                                             "3\n00:00:02,000 --> 00:00:03,000\n a-->b\n\n");
    EXPECT_EQ(written(vtt, *result, "talk"), "WEBVTT\n\n"
                                             "00:00.000 --> 00:01.000\n"
                                             " One\n2\n00:00:05,000 --&gt; 00:00:06,000\n Two\n\n"
                                             "00:01.000 --> 00:02.000\n a\nb \nc\n\n"
                                             "00:02.000 --> 00:03.000\n a--&gt;b\n\n");
}

TEST_F(ResultWriters, WebVTTWritesWhatItWouldReadAsMarkupAsEntities) {
    auto result = resultWith({makeSegment(0, 1, " AT&T <3 you, &amp; <b>x</b> -> y")});
    EXPECT_EQ(written(srt, *result, "talk"), "1\n00:00:00,000 --> 00:00:01,000\n AT&T <3 you, &amp; <b>x</b> -> y\n\n");
    EXPECT_EQ(written(vtt, *result, "talk"),
              "WEBVTT\n\n00:00.000 --> 00:01.000\n AT&amp;T &lt;3 you, &amp;amp; &lt;b>x&lt;/b> -> y\n\n");
}

TEST_F(ResultWriters, EmptyResultGivesEmptyFiles) {
    auto result = resultWith({});
    EXPECT_EQ(written(srt, *result, "empty"), "");
    EXPECT_EQ(written(vtt, *result, "empty"), "WEBVTT\n\n");
    EXPECT_NE(written(json, *result, "empty").find("\"segments\": [],"), std::string::npos);
}

TEST_F(ResultWriters, JsonIsThePrettyEncodingAndReadsBack) {
    auto result = TranscriptionResult::make(" Hi", {makeSegment(0, 0.1f, " Hi")}, "en", {}, 2.5f);
    std::string text = written(json, *result, "talk");
    EXPECT_EQ(text.rfind("{\n  \"text\": \" Hi\",\n  \"segments\": [\n    {\n      \"id\": 0,", 0), 0u)
        << text;
    EXPECT_NE(text.find("\"end\": 0.1,"), std::string::npos);
    EXPECT_TRUE(text.ends_with("\n  \"seekTime\": 2.5\n}"));
    auto read = transcriptionResultFromJson(sonavex::json::parseDocument(text));
    EXPECT_EQ(read->segments(), result->segments());
}

TEST_F(ResultWriters, SuccessIsTheFileAddressAndASecondWriteReplaces) {
    auto first = resultWith({makeSegment(0, 1, "one")});
    auto outcome = srt.write(*first, "my talk");
    ASSERT_TRUE(outcome.isSuccess());
    EXPECT_EQ(outcome.get(), "file://" + folder.path().string() + "/my%20talk.srt");
    EXPECT_EQ(written(srt, *resultWith({makeSegment(0, 1, "two")}), "my talk"),
              "1\n00:00:00,000 --> 00:00:01,000\ntwo\n\n");
}

TEST_F(ResultWriters, JsonReplacesTheFileWholeInsteadOfRewritingIt) {
    // A reader that opened the earlier file keeps reading it whole: the new file is put in its place, so
    // no failure half-way through a write can leave a truncated file behind.
    const std::string earlier = written(json, *resultWith({makeSegment(0, 1, "earlier")}), "talk");
    std::ifstream reader(folder / "talk.json", std::ios::binary);
    const std::string later = written(json, *resultWith({makeSegment(0, 1, "later, and longer")}), "talk");
    ASSERT_NE(earlier, later);
    std::string stillRead((std::istreambuf_iterator<char>(reader)), std::istreambuf_iterator<char>());
    EXPECT_EQ(stillRead, earlier);
}

TEST_F(ResultWriters, FailuresAreReturnedAndLeaveEarlierFilesIntact) {
    auto good = resultWith({makeSegment(0, 1, "kept")});
    const std::string earlierJson = written(json, *good, "talk");
    const std::string earlierSrt = written(srt, *good, "talk");

    // A non-finite number has no JSON form: the write fails before touching the file.
    auto broken = resultWith({makeSegment(0, std::numeric_limits<float>::infinity(), "lost")});
    auto outcome = json.write(*broken, "talk");
    ASSERT_FALSE(outcome.isSuccess());
    EXPECT_THROW(std::rethrow_exception(outcome.error()), EncodingError);
    EXPECT_EQ(testsupport::readFile(folder / "talk.json"), earlierJson);

    // A target that cannot be replaced (a folder stands there) fails, and nothing else changes.
    std::filesystem::create_directory(folder / "blocked.srt");
    EXPECT_FALSE(srt.write(*broken, "blocked").isSuccess());
    EXPECT_TRUE(std::filesystem::is_directory(folder / "blocked.srt"));
    EXPECT_EQ(testsupport::readFile(folder / "talk.srt"), earlierSrt);

    WriteVTT missing((folder / "no such folder").string());
    EXPECT_FALSE(missing.write(*good, "talk").isSuccess());
    EXPECT_FALSE(std::filesystem::exists(folder / "no such folder"));
    for (const auto& entry : std::filesystem::directory_iterator(folder.path())) {
        EXPECT_EQ(entry.path().filename().string().front() == '.', false) << "temporary file left behind";
    }
}
