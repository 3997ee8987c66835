#include "Support/TestSupport.h"
#include "VelmoraCore/ErrorText.h"
#include "VelmoraCore/Transcripts/TranscriptWriter.h"
#include "VelmoraCore/Transcripts/TranscriptWriterError.h"

#include <cmath>
#include <filesystem>
#include <gtest/gtest.h>
#include <limits>

using namespace velmora;
namespace fs = std::filesystem;

namespace {

MergedSegment line(double start, Speaker speaker, std::string text, double end = 0) {
    return {start, end, speaker, std::move(text)};
}

} // namespace

TEST(TranscriptMerge, OrdersByStartKeepingTheMicrophoneFirstOnEqualStarts) {
    const std::vector<TranscriptSegment> me{{5, 6, "m5"}, {1, 9, "m1"}, {1, 2, "m1b"}};
    const std::vector<TranscriptSegment> other{{1, 1.5, "o1"}, {0.5, 30, "o0"}, {5, 5.5, "o5"}};
    const auto merged = TranscriptWriter::merge(me, other);
    std::vector<std::string> texts;
    for (const auto& segment : merged) {
        texts.push_back(segment.text);
    }
    EXPECT_EQ(texts, (std::vector<std::string>{"o0", "m1", "m1b", "o1", "m5", "o5"}));
    EXPECT_EQ(merged[0], (MergedSegment{0.5, 30, Speaker::other, "o0"}));
    EXPECT_EQ(merged[1], (MergedSegment{1, 9, Speaker::me, "m1"}));
    EXPECT_TRUE(TranscriptWriter::merge({}, {}).empty());
}

TEST(TranscriptText, TimeStampsTruncateToSecondsAndGainHoursFromTheFirstHour) {
    EXPECT_EQ(TranscriptWriter::timeStamp(0), "00:00");
    EXPECT_EQ(TranscriptWriter::timeStamp(59.9), "00:59");
    EXPECT_EQ(TranscriptWriter::timeStamp(65), "01:05");
    EXPECT_EQ(TranscriptWriter::timeStamp(3599.999), "59:59");
    EXPECT_EQ(TranscriptWriter::timeStamp(3600), "01:00:00");
    EXPECT_EQ(TranscriptWriter::timeStamp(3723), "01:02:03");
    EXPECT_EQ(TranscriptWriter::timeStamp(36000), "10:00:00");
    EXPECT_EQ(TranscriptWriter::timeStamp(360000), "100:00:00");
    EXPECT_EQ(TranscriptWriter::timeStamp(9.2e18), "2555555555555555:33:20");
}

TEST(TranscriptText, TimesThatDoNotFitAreAClearErrorAndNothingIsWritten) {
    testsupport::TemporaryDirectory folder;
    testsupport::writeFile(folder / "transcript.txt", "old");
    for (const double bad : {std::nan(""), std::numeric_limits<double>::infinity(), 9223372036854775808.0,
                             -1e19}) {
        try {
            TranscriptWriter::writeText({line(bad, Speaker::me, "x")}, folder / "transcript.txt");
            ADD_FAILURE() << bad;
        } catch (const TranscriptWriterError& error) {
            EXPECT_EQ(error.caseName(), "invalidTime");
            EXPECT_NE(errorDescription(error).find("書き出せない時刻です"), std::string::npos);
        }
    }
    EXPECT_EQ(testsupport::readFile(folder / "transcript.txt"), "old");
}

TEST(TranscriptText, LinesCarryStampSpeakerAndTextUnchangedWithoutAFinalLineFeed) {
    testsupport::TemporaryDirectory folder;
    const fs::path file = folder / "transcript.txt";
    testsupport::writeFile(file, "an older, longer transcript");
    TranscriptWriter::writeText({line(65.7, Speaker::other, "こんにちは"), line(3600, Speaker::me, " a\nb ")}, file);
    EXPECT_EQ(testsupport::readFile(file), "[01:05] 相手: こんにちは\n[01:00:00] 自分:  a\nb ");

    TranscriptWriter::writeText({}, file);
    EXPECT_EQ(testsupport::readFile(file), "");
    EXPECT_THROW(TranscriptWriter::writeText({}, folder / "missing/transcript.txt"), fs::filesystem_error);
}

TEST(TranscriptJson, BytesArePrettySortedWithEscapedSlashesAndShortestNumbers) {
    const std::string expected = "[\n"
                                 "  {\n"
                                 "    \"endSeconds\" : 2.5,\n"
                                 "    \"speaker\" : \"自分\",\n"
                                 "    \"startSeconds\" : 0,\n"
                                 "    \"text\" : \"a\\/b \\\"q\\\"\\nc\\\\\"\n"
                                 "  },\n"
                                 "  {\n"
                                 "    \"endSeconds\" : 3600.1,\n"
                                 "    \"speaker\" : \"相手\",\n"
                                 "    \"startSeconds\" : 0.1,\n"
                                 "    \"text\" : \"\"\n"
                                 "  }\n"
                                 "]";
    testsupport::TemporaryDirectory folder;
    const fs::path file = folder / "transcript.json";
    TranscriptWriter::writeJSON({line(0, Speaker::me, "a/b \"q\"\nc\\", 2.5), line(0.1, Speaker::other, "", 3600.1)},
                                file);
    EXPECT_EQ(testsupport::readFile(file), expected);
    TranscriptWriter::writeJSON({}, file);
    EXPECT_EQ(testsupport::readFile(file), "[]");
}

TEST(TranscriptJson, ANonFiniteTimeFailsBeforeTheFileIsTouched) {
    testsupport::TemporaryDirectory folder;
    const fs::path file = folder / "transcript.json";
    testsupport::writeFile(file, "[]");
    EXPECT_THROW(TranscriptWriter::writeJSON({line(1, Speaker::me, "x", std::nan(""))}, file), TranscriptWriterError);
    EXPECT_THROW(TranscriptWriter::writeJSON({line(-INFINITY, Speaker::me, "x")}, file), TranscriptWriterError);
    EXPECT_EQ(testsupport::readFile(file), "[]");
    // Failing to write leaves no partial file behind either.
    EXPECT_THROW(TranscriptWriter::writeJSON({line(1, Speaker::me, "x")}, folder / "gone/transcript.json"),
                 fs::filesystem_error);
    EXPECT_FALSE(fs::exists(folder / "gone"));
}

TEST(TranscriptFiles, BothFilesAreReplacedWholeNotRewrittenInPlace) {
    // A second name for the old file keeps the old bytes only when the new file replaces it by a
    // rename; a write in place would show up under both names, half-written while it runs.
    testsupport::TemporaryDirectory folder;
    for (const char* name : {"transcript.txt", "transcript.json"}) {
        testsupport::writeFile(folder / name, "old");
        fs::create_hard_link(folder / name, folder / (std::string(name) + ".link"));
    }
    const std::vector<MergedSegment> segments{line(1, Speaker::me, "new", 2)};
    TranscriptWriter::writeText(segments, folder / "transcript.txt");
    TranscriptWriter::writeJSON(segments, folder / "transcript.json");
    EXPECT_EQ(testsupport::readFile(folder / "transcript.txt"), "[00:01] 自分: new");
    EXPECT_EQ(testsupport::readFile(folder / "transcript.json"), TranscriptWriter::jsonTranscript(segments));
    EXPECT_EQ(testsupport::readFile(folder / "transcript.txt.link"), "old");
    EXPECT_EQ(testsupport::readFile(folder / "transcript.json.link"), "old");
}
