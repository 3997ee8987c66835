#include "OrvaneCore/Errors/DecodingError.h"
#include "Sonavex/Core/Results/TranscriptionTimings.h"
#include "Sonavex/Utilities/Formats/JsonCoding.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

using namespace sonavex;

TEST(TranscriptionTimings, ReportOfFreshTimingsPrintsNanAndTheUnrecordedFirstToken) {
    TranscriptionTimings fresh;
    const std::string nanRow = "    0.00 ms /      0 runs (    0.00 ms/run)   nan%\n";
    const std::string nanRowOneRun = "    0.00 ms /      1 runs (    0.00 ms/run)   nan%\n";
    std::string expected = "---- Transcription Timings ----\n"
                           "Audio Load:          " +
                           nanRowOneRun + "Audio Processing:    " + nanRow +
                           "Mels:                " + nanRow + "Encoding:            " + nanRow +
                           "Matrices Init:       " + nanRowOneRun + "Decoding:            " + nanRow +
                           "Non-inference:       " + nanRow + "- Logit Filtering:   " + nanRow +
                           "- Sampling:          " + nanRow + "- Kv Caching:        " + nanRow +
                           "- Word Timestamps:   " + nanRow + "- Windowing:         " + nanRow +
                           "Fallbacks:           " + nanRow + "Decoding Full Loop:  " + nanRow +
                           "-------------------------------\n"
                           "Model Load Time:               0.00 seconds\n"
                           "- Prewarm:                     0.00 seconds\n"
                           "- Encoder:                     0.00 seconds\n"
                           "- Decoder:                     0.00 seconds\n"
                           "- Tokenizer:                   0.00 seconds\n"
                           "Inference Duration (Global):   0.00 seconds\n"
                           "- Decoding Loop (Avg/window):  nan seconds\n"
                           "- Audio Windows:               0.00\n"
                           "Time to first token:           0.00 seconds\n"
                           "Total Tokens:                  0\n"
                           "Tokens per Second:             nan tok/s\n"
                           "Real Time Factor:              0.000\n"
                           "Speed Factor:                  inf\n"
                           "Fallbacks:                     0.0";
    EXPECT_EQ(fresh.report(0), expected);

    // With a start but no first token, the distance to the greatest double prints in full.
    fresh.pipelineStart = 0;
    std::string report = fresh.report(0);
    EXPECT_NE(
        report.find("Time to first token:           179769313486231570814527423731704356798070567525844996"),
        std::string::npos);
}

TEST(TranscriptionTimings, ReportOfARunShowsWindowingWithoutWordTimestamps) {
    TranscriptionTimings timings;
    timings.pipelineStart = 100;
    timings.firstTokenTime = 100.5;
    timings.inputAudioSeconds = 30;
    timings.decodingLoop = 2;
    timings.fullPipeline = 2.5;
    timings.decodingWindowing = 0.05;
    timings.decodingWordTimestamps = 0.02;
    timings.totalDecodingWindows = 1;
    timings.totalAudioProcessingRuns = 3;
    timings.totalDecodingLoops = 40;
    timings.totalDecodingFallbacks = 3;
    std::string report = timings.report(6);
    EXPECT_NE(report.find("\n- Windowing:            30.00 ms /      1 runs (   30.00 ms/run)  1.20%\n"),
              std::string::npos)
        << report;
    EXPECT_NE(report.find("\nDecoding Full Loop:   2000.00 ms /     40 runs (   50.00 ms/run) 80.00%\n"),
              std::string::npos);
    EXPECT_NE(report.find("\n- Audio Windows:               3.00\n"), std::string::npos);
    EXPECT_NE(report.find("\nTime to first token:           0.50 seconds\n"), std::string::npos);
    EXPECT_NE(report.find("\nTotal Tokens:                  6\n"), std::string::npos);
    EXPECT_NE(report.find("\nTokens per Second:             16.00 tok/s\n"), std::string::npos);
    EXPECT_NE(report.find("\nReal Time Factor:              0.083\nSpeed Factor:                  12.000\n"),
              std::string::npos);
    EXPECT_TRUE(report.ends_with("\nFallbacks:                     3.0"));
}

TEST(TranscriptionTimings, JsonHasEveryFieldInOrderAndRequiresThemAll) {
    TranscriptionTimings timings;
    timings.decodingWordTimestamps = 0.25;
    timings.fullPipeline = 1e-7;
    json::Json encoded = timings;
    ASSERT_EQ(encoded.size(), 33u);
    EXPECT_EQ(encoded.begin().key(), "pipelineStart");
    EXPECT_EQ((--encoded.end()).key(), "fullPipeline");
    EXPECT_EQ(encoded.dump().find(R"("pipelineStart":1.7976931348623157e+308,)"), 1u);
    TranscriptionTimings read = encoded.get<TranscriptionTimings>();
    EXPECT_EQ(read.decodingWordTimestamps, 0.25);
    EXPECT_EQ(read.fullPipeline, 1e-7);
    EXPECT_EQ(read.pipelineStart, timings.pipelineStart);

    encoded.erase("decodingWordTimestamps");
    EXPECT_THROW((void)encoded.get<TranscriptionTimings>(), orvane::DecodingError);
}
