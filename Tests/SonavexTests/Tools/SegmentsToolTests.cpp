// sonavex decode segments and decode dtw: segments and word timings from a token list and a weights file,
// the silent window, and the inputs refused before anything is read past an array.
#include "Platform/ML/Files/Npy.h"
#include "SonavexTests/ToolRunner.h"
#include "Support/TestSupport.h"

#include <gtest/gtest.h>

namespace {

const std::string kTokens = "--tokens 50364,2425,11,1002,50414,50414,708,50464,50257";

std::string multilingual() {
    return "--tokenizer '" + testsupport::dataPath("tokenizers/whisper-multilingual").string() + "'";
}

// Weights whose row r peaks at frames[r].
std::string writeWeights(const testsupport::TemporaryDirectory& folder, std::vector<int64_t> shape,
                         const std::vector<int64_t>& frames) {
    ml::MultiArray weights(shape, ml::MultiArrayDataType::Float16);
    for (size_t row = 0; row < frames.size(); ++row) {
        weights.setValue(int64_t(row) * shape.back() + frames[row], 1.0);
    }
    const auto path = folder / "weights.npy";
    ml::writeNpy(path, weights);
    return "'" + path.string() + "'";
}

} // namespace

TEST(SegmentsTool, SegmentsOfATokenListThenTheNextSeek) {
    const auto outcome = runSonavex("decode segments " + multilingual() + " " + kTokens +
                                    " --seek 16000 --segment-count 4 --logprobs 0,-0.5,0,0,0,0,0,0,0");
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(
        outcome.output,
        "{\"id\":4,\"seek\":16000,\"start\":1.0,\"end\":2.0,\"text\":\"<|0.00|> Hello, world<|1.00|>\","
        "\"tokens\":[50364,2425,11,1002,50414],\"tokenLogProbs\":[{\"50364\":0.0},{\"2425\":-0.5},"
        "{\"11\":0.0},{\"1002\":0.0},{\"50414\":0.0}],\"temperature\":0.0,\"avgLogprob\":0.0,"
        "\"compressionRatio\":0.0,\"noSpeechProb\":0.0}\n"
        "{\"id\":5,\"seek\":16000,\"start\":2.0,\"end\":3.0,\"text\":\"<|1.00|> What<|2.00|>\","
        "\"tokens\":[50414,708,50464],\"tokenLogProbs\":[{\"50414\":0.0},{\"708\":0.0},{\"50464\":0.0}],"
        "\"temperature\":0.0,\"avgLogprob\":0.0,\"compressionRatio\":0.0,\"noSpeechProb\":0.0}\n"
        "{\"seek\":48000,\"segmentCount\":2}\n");

    // A silent window: no segments, a whole window on; a confident one is not silent.
    EXPECT_EQ(runSonavex("decode segments " + multilingual() + " " + kTokens +
                         " --no-speech-prob 0.9 --avg-logprob -2 --segment-size 1000")
                  .output,
              "{\"seek\":1000,\"segmentCount\":null}\n");
    EXPECT_NE(runSonavex("decode segments " + multilingual() + " " + kTokens +
                         " --no-speech-prob 0.9 --avg-logprob -0.5")
                  .output.find("\"segmentCount\":2"),
              std::string::npos);
}

TEST(SegmentsTool, AlignmentWeightsGiveWordTimings) {
    testsupport::TemporaryDirectory folder;
    const std::string weights = writeWeights(folder, {224, 1500}, {0, 0, 10, 30, 50, 50, 60, 80});
    const auto outcome =
        runSonavex("decode segments " + multilingual() + " " + kTokens +
                   " --logprobs 0,-0.1,-0.2,-0.3,0,0,-0.5,0,0 --options '{\"skipSpecialTokens\": true}'"
                   " --alignment " +
                   weights);
    EXPECT_EQ(outcome.status, 0);
    // " Hello" and "," merge; the segments end with their last words.
    EXPECT_NE(outcome.output.find("\"end\":0.6,\"text\":\" Hello, world\""), std::string::npos);
    EXPECT_NE(outcome.output.find("\"words\":[{\"word\":\" Hello,\",\"tokens\":[2425,11],\"start\":0.0,"
                                  "\"end\":0.0,\"probability\":0.9},{\"word\":\" world\",\"tokens\":[1002],"
                                  "\"start\":0.2,\"end\":0.6,\"probability\":0.74}]"),
              std::string::npos)
        << outcome.output;
    EXPECT_NE(outcome.output.find("\"start\":1.0,\"end\":1.2,\"text\":\" What\""), std::string::npos);
}

TEST(SegmentsTool, WarpingPathOfAMatrix) {
    testsupport::TemporaryDirectory folder;
    const std::string matrix = writeWeights(folder, {2, 3}, {0, 2});
    EXPECT_EQ(runSonavex("decode dtw " + matrix).output,
              "{\"textIndices\":[0,1,1,1],\"timeIndices\":[0,0,1,2]}\n");
}

TEST(SegmentsTool, InputsThatDoNotCoverTheTokensAreRefused) {
    testsupport::TemporaryDirectory folder;
    auto outcome = runSonavex("decode segments " + multilingual() + " " + kTokens + " --logprobs 0,0");
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.output,
              "{\"error\":\"segmentingFailed\",\"message\":\"2 log-probabilities for 9 tokens\"}\n");

    outcome = runSonavex("decode segments " + multilingual() + " " + kTokens + " --alignment " +
                         writeWeights(folder, {4, 1500}, {}));
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.output,
              "{\"error\":\"segmentingFailed\",\"message\":\"Alignment weights [4, 1500] hold 4 "
              "rows, fewer than the 8 tokens of the segments\"}\n");

    outcome = runSonavex("decode dtw " + writeWeights(folder, {1, 2, 3}, {}));
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.output,
              "{\"error\":\"segmentingFailed\",\"message\":\"Invalid alignment matrix shape\"}\n");

    EXPECT_EQ(runSonavex("decode segments " + kTokens).status, 2);
    EXPECT_EQ(runSonavex("decode segments " + multilingual() + " --tokens 1,x").status, 2);
    EXPECT_EQ(runSonavex("decode dtw").status, 2);
}
