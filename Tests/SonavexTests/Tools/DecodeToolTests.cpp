#include "Platform/ML/Files/Npy.h"
#include "Platform/ML/Whisper/ScriptedTextDecoderModel.h"
#include "SonavexTests/ToolRunner.h"
#include "Support/TestSupport.h"

#include <cmath>
#include <gtest/gtest.h>

namespace {

std::string tokenizerFolder(const std::string& name) {
    return "--tokenizer '" + testsupport::dataPath("tokenizers/" + name).string() + "'";
}

// Logits of the multilingual vocabulary (51865 ids): 0 everywhere but the given ids.
std::string writeLogits(const testsupport::TemporaryDirectory& folder, const std::map<int64_t, float>& peaks,
                        ml::MultiArrayDataType type = ml::MultiArrayDataType::Float32,
                        int64_t count = 51865) {
    ml::MultiArray logits({1, 1, count}, type);
    for (const auto& [id, value] : peaks) {
        logits.setValue(id, value);
    }
    const auto path = folder / "logits.npy";
    ml::writeNpy(path, logits);
    return "'" + path.string() + "'";
}

// A model folder: a scripted decoder answering " Hello, world" with timestamps, and the multilingual
// tokenizer.
std::string writeModelFolder(const testsupport::TemporaryDirectory& folder) {
    using Rule = ml::ScriptedTextDecoderModel::Rule;
    for (const auto& file :
         std::filesystem::directory_iterator(testsupport::dataPath("tokenizers/whisper-multilingual"))) {
        std::filesystem::copy_file(file.path(), folder / file.path().filename());
    }
    ml::TextDecoderShape shape;
    shape.width = 8;
    shape.layers = 1;
    shape.audioFrames = 20;
    ml::ScriptedTextDecoderModel::writer(shape, {Rule{50258, 0, 50266, -1}, Rule{50364, 3, 2425, -1},
                                                 Rule{2425, 4, 11, -1}, Rule{11, 5, 1002, -1},
                                                 Rule{1002, 6, 50414, -1}, Rule{50414, 7, 50257, -1}})
        .writeCompiled(folder / "TextDecoder.mlmodelc");
    return "--model-folder '" + folder.path().string() + "'";
}

} // namespace

TEST(DecodeTool, PromptOfTheRealVocabularies) {
    auto multilingual = runSonavex("decode prompt " + tokenizerFolder("whisper-multilingual") +
                                   " --options '{\"language\": \"ja\", \"promptTokens\": [1, 2, 50300, 3], "
                                   "\"prefixTokens\": [7, 50999, 8]}'");
    EXPECT_EQ(multilingual.status, 0);
    EXPECT_EQ(multilingual.output, "{\"prompt\":[50361,1,2,3,50258,50266,50359,50364,7,8]}\n");

    auto withoutOptions = runSonavex("decode prompt " + tokenizerFolder("whisper-multilingual"));
    EXPECT_EQ(withoutOptions.output, "{\"prompt\":[50258]}\n");

    auto englishOnly = runSonavex("decode prompt --english-only --options '{\"withoutTimestamps\": true}' " +
                                  tokenizerFolder("whisper-en"));
    EXPECT_EQ(englishOnly.status, 0);
    EXPECT_EQ(englishOnly.output.rfind("{\"prompt\":[50257,", 0), 0u) << englishOnly.output;
    EXPECT_EQ(englishOnly.output.find(','), englishOnly.output.rfind(','));
}

TEST(DecodeTool, RefusesIncompleteCommands) {
    EXPECT_EQ(runSonavex("decode prompt").status, 2);
    EXPECT_EQ(runSonavex("decode prefix " + tokenizerFolder("whisper-en")).status, 2);
    EXPECT_EQ(
        runSonavex("decode prompt --options '{\"language\": 3}' " + tokenizerFolder("whisper-en")).status, 1);
    auto missing = runSonavex("decode prompt --tokenizer /nonexistent/tokenizer");
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.output.find("\"error\""), std::string::npos);
}

TEST(DecodeTool, FilterShowsTheSuppressedRanges) {
    testsupport::TemporaryDirectory folder;
    const std::string logits = writeLogits(folder, {{2425, 30.0f}});
    const std::string multilingual = tokenizerFolder("whisper-multilingual");
    // The decoder's filters for default options: timestamps only; the text token dominates.
    EXPECT_EQ(
        runSonavex("decode filter " + logits + " " + multilingual + " --tokens 50258,50259,50359").output,
        "{\"minusInfinity\":[[50363,50363]]}\n");
    // Explicit filters in order; the language filter from the first sampled position.
    EXPECT_EQ(runSonavex("decode filter " + logits + " " + multilingual +
                         " --tokens 50258 --sample-begin 1 --filters suppress-blank,language")
                  .output,
              "{\"minusInfinity\":[[0,50258],[50358,51864]]}\n");
    const auto out = folder / "filtered.npy";
    EXPECT_EQ(
        runSonavex("decode filter " + logits + " " + multilingual +
                   " --tokens 1,2 --options '{\"suppressTokens\": [-1, 7, 50300], \"withoutTimestamps\": "
                   "true}' --out '" +
                   out.string() + "'")
            .output,
        "{\"minusInfinity\":[[7,7]]}\n");
    const ml::MultiArray filtered = ml::readNpy(out);
    EXPECT_EQ(filtered.dataType(), ml::MultiArrayDataType::Float16);
    EXPECT_EQ(filtered.value(7), -INFINITY);
    EXPECT_EQ(filtered.value(2425), 30.0);

    // English-only: the first timestamp is 50363, right after "<|notimestamps|>". A lone one after the start
    // of transcript closes a pair, so every timestamp from there on is forbidden.
    testsupport::TemporaryDirectory englishFolder;
    const std::string english =
        writeLogits(englishFolder, {{2425, 30.0f}}, ml::MultiArrayDataType::Float32, 51864);
    EXPECT_EQ(runSonavex("decode filter " + english + " " + tokenizerFolder("whisper-en") +
                         " --english-only --tokens 50257,50363 --sample-begin 1")
                  .output,
              "{\"minusInfinity\":[[50362,51863]]}\n");

    // An English-only vocabulary (51864 ids) refuses the multilingual logits; unknown filters are usage
    // errors.
    const auto wrongLength =
        runSonavex("decode filter " + logits + " " + tokenizerFolder("whisper-en") + " --tokens 1");
    EXPECT_EQ(wrongLength.status, 1);
    EXPECT_EQ(
        wrongLength.output,
        "{\"error\":\"decodingLogitsFailed\",\"message\":\"The logits hold 51865 values, but the vocabulary "
        "has 51864 tokens\"}\n");
    EXPECT_EQ(
        runSonavex("decode filter " + logits + " " + multilingual + " --tokens 1 --filters blank").status, 2);
    EXPECT_EQ(runSonavex("decode filter " + logits + " " + multilingual).status, 2);
}

TEST(DecodeTool, SampleDrawsFromHalfLogitsOfAnyStoredType) {
    testsupport::TemporaryDirectory folder;
    const std::string logits =
        writeLogits(folder, {{3, 2.0f}, {5, 2.0f}, {50257, 1.0f}}, ml::MultiArrayDataType::Float64);
    EXPECT_EQ(runSonavex("decode sample " + logits).output.rfind("{\"token\":3,\"logProb\":-", 0), 0u);
    const auto end = runSonavex("decode sample " + logits + " --tokens 1,2 --eot 3");
    EXPECT_NE(end.output.find("\"completed\":true"), std::string::npos) << end.output;
    // The same seed draws the same tokens; each line is one draw.
    const auto seeded =
        runSonavex("decode sample " + logits + " --temperature 1 --top-k 3 --seed 9 --repeat 20");
    EXPECT_EQ(
        seeded.output,
        runSonavex("decode sample " + logits + " --temperature 1 --top-k 3 --seed 9 --repeat 20").output);
    EXPECT_EQ(std::count(seeded.output.begin(), seeded.output.end(), '\n'), 20);
    for (const char* token : {"\"token\":3,", "\"token\":5,", "\"token\":50257,"}) {
        EXPECT_NE(seeded.output.find(token), std::string::npos) << token;
    }
    const auto broken = folder / "broken.npy";
    testsupport::writeFile(broken, "not an array");
    const auto unreadable = runSonavex("decode sample '" + broken.string() + "'");
    EXPECT_EQ(unreadable.status, 1);
    EXPECT_NE(unreadable.output.find(broken.string()), std::string::npos);
}

TEST(DecodeTool, WindowAndLanguageOfAModelFolder) {
    testsupport::TemporaryDirectory folder;
    const std::string models = writeModelFolder(folder);
    EXPECT_EQ(
        runSonavex("decode window " + models).output,
        "{\"language\":\"en\",\"languageProbs\":{\"en\":0.0},"
        "\"tokens\":[50258,50259,50359,50364,2425,11,1002,50414,50257],"
        "\"tokenLogProbs\":[{\"50258\":0.0},{\"50259\":0.0},{\"50359\":0.0},{\"50364\":0.0},{\"2425\":0.0},"
        "{\"11\":0.0},{\"1002\":0.0},{\"50414\":0.0},{\"50257\":0.0}],"
        "\"text\":\"<|startoftranscript|><|en|><|transcribe|><|0.00|> Hello, world<|1.00|><|endoftext|>\","
        "\"avgLogProb\":0.0,\"noSpeechProb\":0.0,\"temperature\":0.0,\"compressionRatio\":0.85714287,"
        "\"fallback\":null}\n");
    // Without timestamps the script finds no rule at position 3: flat logits, a first token too unlikely.
    const auto retry = runSonavex("decode window " + models + " --options '{\"withoutTimestamps\": true}'");
    EXPECT_NE(retry.output.find("\"tokens\":[50258,50259,50359,50363,50257]"), std::string::npos)
        << retry.output;
    EXPECT_NE(retry.output.find(
                  "\"fallback\":{\"needsFallback\":true,\"fallbackReason\":\"firstTokenLogProbThreshold\"}"),
              std::string::npos);

    EXPECT_EQ(runSonavex("decode language " + models).output,
              "{\"language\":\"ja\",\"languageProbs\":{\"ja\":0.0}}\n");
    // An encoder output of the wrong shape is the runtime's error.
    const std::string encoder = writeLogits(folder, {}, ml::MultiArrayDataType::Float32, 7);
    const auto wrong = runSonavex("decode language " + models + " --encoder-output " + encoder);
    EXPECT_EQ(wrong.status, 1);
    EXPECT_EQ(runSonavex("decode window --model-folder /nonexistent").status, 1);
}

TEST(TextTool, CompressionRatioOfTextOrTokens) {
    EXPECT_EQ(runSonavex("text compression-ratio --tokens 50364").output,
              "{\"compressionRatio\":0.6666667}\n");
    EXPECT_EQ(runSonavex("text compression-ratio ''").output, "{\"compressionRatio\":\"inf\"}\n");
    EXPECT_EQ(runSonavex("text compression-ratio").status, 2);
    EXPECT_EQ(runSonavex("text compression-ratio abc --tokens 1").status, 2);
}
