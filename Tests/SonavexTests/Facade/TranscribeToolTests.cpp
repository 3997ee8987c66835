#include "Sonavex/Utilities/Formats/JsonCoding.h"
#include "SonavexTests/Facade/FacadeFixture.h"
#include "SonavexTests/ToolRunner.h"
#include "Support/Audio/SpokenAudio.h"
#include "Support/Audio/TestAudioFile.h"

#include <nlohmann/json.hpp>
#include <random>
#include <sstream>

using namespace facadetest;
using testsupport::shellQuoted;
using Json = nlohmann::ordered_json;

namespace {

std::vector<Json> lines(const std::string& output) {
    std::vector<Json> parsed;
    std::istringstream stream(output);
    for (std::string line; std::getline(stream, line);) {
        parsed.push_back(Json::parse(line));
    }
    return parsed;
}

// The lines that carry an input's outcome, in order.
std::vector<Json> outcomeLines(const std::string& output) {
    std::vector<Json> kept;
    for (auto& line : lines(output)) {
        if (line.contains("file")) {
            kept.push_back(line);
        }
    }
    return kept;
}

class TranscribeToolTest : public FacadeTest {
protected:
    void SetUp() override {
        FacadeTest::SetUp();
        const auto spoken = audiotest::speakWithPauses({"hello there", "this is a test of the engine"}, 8000, 4000);
        audiotest::writeAudioFile(temporary / "speech.wav", audiotest::FileKind::wavF32, 16000, {spoken.samples});
        std::vector<float> noise(24000);
        std::mt19937 random(3);
        std::uniform_real_distribution<float> level(-0.2f, 0.2f);
        for (auto& sample : noise) {
            sample = level(random);
        }
        audiotest::writeAudioFile(temporary / "noise.m4a", audiotest::FileKind::m4aAac, 16000, {noise});
        std::vector<float> quiet(16000, 0.0f);
        testsupport::writeFile(temporary / "silence.f32",
                               std::string(reinterpret_cast<const char*>(quiet.data()), quiet.size() * sizeof(float)));
    }

    // A model folder made by the tool from a checkpoint the test writes, with real 30-second windows.
    fs::path convertedByTheTool(const std::string& flags = "") {
        auto shape = tinyShape();
        shape.sourcePositions = 1500;
        testsupport::writeCheckpoint(temporary / "checkpoint", shape);
        const fs::path folder = temporary / "converted";
        EXPECT_EQ(runSonavex("models convert " + shellQuoted((temporary / "checkpoint").string()) + " " +
                             shellQuoted(folder.string()) + flags)
                      .status,
                  0);
        return folder;
    }

    std::string input(const std::string& name) const { return shellQuoted((temporary / name).string()); }
};

} // namespace

// Audio files through the file-list form and a sample file through the array form, chunked at pauses and
// run two at a time: one line per input in order, results written as SRT files named after each input.
TEST_F(TranscribeToolTest, FilesAndSamplesOnAConvertedFolderWithFiles) {
    const fs::path folder = convertedByTheTool();
    const fs::path out = temporary / "out";
    auto outcome = runSonavex("transcribe " + input("speech.wav") + " " + input("silence.f32") + " " +
                              input("noise.m4a") + " --model-folder " + shellQuoted(folder.string()) +
                              " --options '{\"sampleLength\": 12}' --vad --workers 2 --language en --states"
                              " --format srt --out " +
                              shellQuoted(out.string()));
    EXPECT_EQ(outcome.status, 0) << outcome.output;
    const auto results = outcomeLines(outcome.output);
    ASSERT_EQ(results.size(), 3u) << outcome.output;
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(results[i]["input"], i);
        ASSERT_TRUE(results[i]["result"].is_array()) << results[i].dump();
        EXPECT_EQ(results[i]["result"].size(), 1u);
        EXPECT_EQ(results[i]["result"][0]["language"], "en");
    }
    EXPECT_EQ(results[0]["url"], "file://" + (out / "speech.srt").string());
    EXPECT_TRUE(fs::exists(out / "silence.srt"));
    EXPECT_TRUE(fs::exists(out / "noise.srt"));
    // Two files: the file-list form's states, once.
    const auto all = lines(outcome.output);
    EXPECT_EQ(all[0], Json::parse(R"({"state": "Converting Audio"})"));
    EXPECT_EQ(all[1], Json::parse(R"({"state": "Transcribing"})"));
    EXPECT_EQ(all[2], Json::parse(R"({"state": "Finished"})"));

    // One file, JSON and WebVTT; a missing input fails alone and the command exits 1.
    outcome = runSonavex("transcribe " + input("speech.wav") + " --model-folder " + shellQuoted(folder.string()) +
                         " --options '{\"sampleLength\": 12}' --segments --format vtt --out " +
                         shellQuoted(out.string()));
    EXPECT_EQ(outcome.status, 0);
    EXPECT_TRUE(fs::exists(out / "speech.vtt"));
    const auto segmentLines = lines(outcome.output);
    ASSERT_GE(segmentLines.size(), 2u);
    EXPECT_EQ(segmentLines[0]["input"], 0);
    EXPECT_TRUE(segmentLines[0]["segments"].is_array());
    outcome = runSonavex("transcribe " + input("absent.wav") + " " + input("speech.wav") + " --model-folder " +
                         shellQuoted(folder.string()) + " --options '{\"sampleLength\": 4}' --format json --out " +
                         shellQuoted(out.string()));
    EXPECT_EQ(outcome.status, 1);
    const auto mixed = outcomeLines(outcome.output);
    ASSERT_EQ(mixed.size(), 2u);
    EXPECT_EQ(mixed[0]["error"], "loadAudioFailed");
    EXPECT_TRUE(mixed[1].contains("result"));
    EXPECT_TRUE(fs::exists(out / "speech.json"));

    EXPECT_EQ(runSonavex("transcribe " + input("speech.wav")).status, 2);
    EXPECT_EQ(runSonavex("transcribe " + input("speech.wav") + " --model-folder x --format srt").status, 2);
}

// A long file streamed in pieces gives one result per piece, written as NAME, NAME-1, …; the models come
// from make-test-models and are fetched from the fake hub by variant.
TEST_F(TranscribeToolTest, StreamedFileFromADownloadedVariant) {
    const fs::path served = temporary / "served" / "openai_whisper-tiny";
    ASSERT_EQ(testsupport::runCommand(testsupport::toolPath("make-test-models").string() +
                                      " --preset tiny --out " + shellQuoted(served.string()) + " > /dev/null"),
              0);
    for (const auto& entry : fs::directory_iterator(testsupport::dataPath("tokenizers/whisper-multilingual"))) {
        fs::copy_file(entry.path(), served / entry.path().filename());
    }
    hub.addRepository("someone/models", temporary / "served");
    const auto spoken =
        audiotest::speakWithPauses({"the first part", "and the second part"}, 16000 * 40, 16000);
    audiotest::writeAudioFile(temporary / "long.wav", audiotest::FileKind::wavF32, 16000, {spoken.samples});

    const fs::path out = temporary / "out";
    auto outcome = runSonavex("transcribe " + input("long.wav") + " --model tiny --repo someone/models --endpoint " +
                              hub.endpoint() + " --download-base " + input("mirror") +
                              " --options '{\"sampleLength\": 6}' --incremental 30,1 --format json --out " +
                              shellQuoted(out.string()));
    EXPECT_EQ(outcome.status, 0) << outcome.output;
    const auto results = outcomeLines(outcome.output);
    ASSERT_EQ(results.size(), 1u);
    const auto& pieces = results[0]["result"];
    ASSERT_GE(pieces.size(), 2u) << outcome.output;
    EXPECT_LT(pieces[0]["seekTime"].get<double>(), pieces[1]["seekTime"].get<double>());
    EXPECT_EQ(results[0]["url"][1], "file://" + (out / "long-1.json").string());
    EXPECT_TRUE(fs::exists(out / "long.json"));
    EXPECT_TRUE(
        fs::exists(temporary / "mirror/models/someone/models/openai_whisper-tiny/TextDecoder.mlmodelc"));
}

// A model set up from the hub transcribes when the hub is gone (stopped, or a host that never resolves),
// saying so once; a model never set up still fails with the hub's error. A model folder without its
// tokenizer names the folder and the file, with the hub's reason for the download that was tried.
TEST_F(TranscribeToolTest, AModelSetUpBeforeWorksWithoutTheHub) {
    copyModels(temporary / "served" / "openai_whisper-tiny");
    auto setUp = std::make_unique<testsupport::FakeHub>();
    setUp->addRepository("someone/models", temporary / "served");
    const std::string endpoint = setUp->endpoint();
    const auto transcribe = [&](const std::string& variant, const std::string& from) {
        ToolOutcome outcome;
        outcome.status = testsupport::runCommand(
            shellQuoted(testsupport::toolPath("sonavex").string()) + " transcribe --log info " +
                input("speech.wav") + " --model " + variant + " --repo someone/models --download-base " +
                input("mirror") + " --endpoint " + from + " --options '{\"sampleLength\": 4}' 2>" +
                input("log.txt"),
            &outcome.output);
        return outcome;
    };
    ASSERT_EQ(transcribe("tiny", endpoint).status, 0);
    setUp.reset();
    for (const std::string& unreachable : {endpoint, std::string("http://hub.invalid/")}) {
        const auto outcome = transcribe("tiny", unreachable);
        EXPECT_EQ(outcome.status, 0) << unreachable << outcome.output;
        EXPECT_EQ(outcomeLines(outcome.output).size(), 1u);
        const std::string log = testsupport::readFile(temporary / "log.txt");
        const auto said = log.find("The hub cannot be reached (");
        EXPECT_NE(said, std::string::npos) << log;
        EXPECT_EQ(log.find("The hub cannot be reached (", said + 1), std::string::npos) << log;
    }
    const auto never = transcribe("base", endpoint);
    EXPECT_EQ(never.status, 1);
    EXPECT_NE(never.output.find("Download failed: Could not connect to the server."), std::string::npos)
        << never.output;

    const fs::path bare = copyModels(temporary / "bare");
    fs::remove(bare / "tokenizer.json");
    environment.set("HF_ENDPOINT", "http://hub.invalid/");
    const auto outcome = runSonavex("transcribe " + input("speech.wav") + " --model-folder " + input("bare"));
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(Json::parse(outcome.output)["message"],
              "No tokenizer.json in " + bare.string() +
                  "; downloading openai/whisper-tiny from the hub failed: Download failed: A server with the "
                  "specified hostname could not be found.")
        << outcome.output;
}

// The first window's language from an audio file or a sample file; an English-only model refuses.
TEST_F(TranscribeToolTest, DetectLanguage) {
    auto outcome = runSonavex("detect-language " + input("speech.wav") + " --model-folder " +
                              shellQuoted(convertedModels().string()));
    EXPECT_EQ(outcome.status, 0);
    const auto line = Json::parse(outcome.output);
    EXPECT_EQ(line["file"], (temporary / "speech.wav").string());
    ASSERT_TRUE(line["language"].is_string());
    EXPECT_TRUE(line["languageProbs"].contains(line["language"].get<std::string>()));
    outcome = runSonavex("detect-language " + input("silence.f32") + " --model-folder " +
                         shellQuoted(convertedModels().string()));
    EXPECT_EQ(outcome.status, 0);
    outcome = runSonavex("detect-language " + input("speech.wav") + " --model-folder " +
                         shellQuoted(convertedModels(false).string()));
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.output, R"({"error":"decodingFailed","message":"Language detection not supported for this model"})"
                              "\n");
}

// A folder converted with 8-bit weights transcribes like any other; an unknown weight type is a usage error.
TEST_F(TranscribeToolTest, AnEightBitFolderFromTheToolTranscribes) {
    EXPECT_EQ(
        runSonavex("models convert " + input("nowhere") + " " + input("unused") + " --weights int4").status,
        2);
    const fs::path folder = convertedByTheTool(" --weights int8");
    EXPECT_NE(testsupport::readFile(folder / "TextDecoder.mlmodelc" / "model.json")
                  .find("\"weight_type\": \"int8\""),
              std::string::npos);
    const auto outcome =
        runSonavex("transcribe " + input("speech.wav") + " --model-folder " + shellQuoted(folder.string()) +
                   " --options '{\"sampleLength\": 8}' --language en");
    EXPECT_EQ(outcome.status, 0) << outcome.output;
    const auto results = outcomeLines(outcome.output);
    ASSERT_EQ(results.size(), 1u) << outcome.output;
    ASSERT_TRUE(results[0]["result"].is_array()) << results[0].dump();
    EXPECT_EQ(results[0]["result"][0]["language"], "en");
}
