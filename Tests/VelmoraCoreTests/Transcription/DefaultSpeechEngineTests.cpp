#include "Support/Network/FakeHub.h"
#include "Support/ScopedEnvironment.h"
#include "Support/Audio/TestAudioFile.h"
#include "Support/TestSupport.h"
#include "TrackFiles.h"
#include "VelmoraCore/Transcription/Transcriber.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;
using velmora::Transcriber;

namespace {

// The program's own engine against a local hub that serves small random models of the tiny shape with
// a real tokenizer, in a home of the test's own.
class DefaultSpeechEngineTest : public ::testing::Test {
protected:
    DefaultSpeechEngineTest() {
        environment.set("HOME", home.path().string());
        for (const char* name : {"XDG_CONFIG_HOME", "XDG_DOCUMENTS_DIR", "HF_TOKEN", "HUGGING_FACE_HUB_TOKEN",
                                 "HF_TOKEN_PATH", "HF_HOME", "HF_ENDPOINT", "CI_DISABLE_NETWORK_MONITOR"}) {
            environment.unset(name);
        }
        const fs::path variant = served.path() / "openai_whisper-tiny";
        EXPECT_EQ(testsupport::runCommand(testsupport::toolPath("make-test-models").string() +
                                          " --preset tiny --out " + testsupport::shellQuoted(variant.string()) +
                                          " > /dev/null"),
                  0);
        for (const auto& entry : fs::directory_iterator(testsupport::dataPath("tokenizers/whisper-multilingual"))) {
            fs::copy_file(entry.path(), variant / entry.path().filename());
        }
        hub.addRepository("vevadidaz/sonavex-coreml", served.path());
    }

    size_t modelRequests() const {
        const auto all = hub.requests();
        return size_t(std::count_if(all.begin(), all.end(), [](const auto& request) {
            return request.target.find("/resolve/") != std::string::npos;
        }));
    }

    testsupport::TemporaryDirectory home;
    testsupport::TemporaryDirectory served;
    testsupport::ScopedEnvironment environment;
    testsupport::FakeHub hub;
};

} // namespace

// The transcriber fetches the variant into its cache folder, builds a loaded engine from it and
// transcribes an AAC track chunk by chunk; a damaged cached model is deleted and fetched again.
TEST_F(DefaultSpeechEngineTest, DownloadsLoadsAndTranscribesThenRefetchesADamagedModel) {
    const velmora::EngineAccess access{velmora::defaultSpeechEngine(), hub.endpoint()};
    auto transcriber = std::make_unique<Transcriber>("tiny", nullptr, access);
    const fs::path cached = Transcriber::cachedVariantFolder("tiny");
    EXPECT_EQ(cached, home.path() / "Documents/huggingface/models/vevadidaz/sonavex-coreml/openai_whisper-tiny");
    EXPECT_TRUE(fs::exists(cached / "TextDecoder.mlmodelc/model.json"));

    const auto samples = transcriptiontest::burstTrack(16000 * 4, {{16000, 32000}});
    audiotest::writeAudioFile(home.path() / "mic.m4a", audiotest::FileKind::m4aAac, 16000, {samples});
    transcriptiontest::CapturedOutput output;
    EXPECT_NO_THROW(transcriber->transcribe((home.path() / "mic.m4a").string(), 0.02f));
    EXPECT_NE(output.text().find("チャンク"), std::string::npos) << output.text();

    const size_t before = modelRequests();
    testsupport::writeFile(cached / "AudioEncoder.mlmodelc/model.json", "{ damaged");
    transcriber = std::make_unique<Transcriber>("tiny", nullptr, access);
    EXPECT_GT(modelRequests(), before);
    EXPECT_NE(testsupport::readFile(cached / "AudioEncoder.mlmodelc/model.json"), "{ damaged");
}

// A model set up the day before transcribes with no way to the hub: the hub stopped, or a host that never
// resolves (through velmoractl as a user runs it); a model never set up still fails with the hub's error.
TEST_F(DefaultSpeechEngineTest, AModelSetUpBeforeTranscribesWithoutTheHub) {
    const Transcriber setUp("tiny", nullptr,
                            velmora::EngineAccess{velmora::defaultSpeechEngine(), hub.endpoint()});
    std::string stopped;
    {
        testsupport::FakeHub gone;
        stopped = gone.endpoint();
    }
    const auto samples = transcriptiontest::burstTrack(16000 * 4, {{16000, 32000}});
    audiotest::writeAudioFile(home.path() / "mic.m4a", audiotest::FileKind::m4aAac, 16000, {samples});
    const velmora::EngineAccess offline{velmora::defaultSpeechEngine(), stopped};
    {
        transcriptiontest::CapturedOutput output;
        EXPECT_NO_THROW(
            Transcriber("tiny", nullptr, offline).transcribe((home.path() / "mic.m4a").string(), 0.02f));
    }
    EXPECT_TRUE(fs::exists(Transcriber::cachedVariantFolder("tiny") / "TextDecoder.mlmodelc/model.json"));
    try {
        Transcriber("base", nullptr, offline);
        ADD_FAILURE() << "a model never set up loaded";
    } catch (const std::exception& error) {
        EXPECT_EQ(std::string(error.what()), "Download failed: Could not connect to the server.");
    }

    std::string output;
    EXPECT_EQ(testsupport::runCommand(testsupport::shellQuoted(testsupport::toolPath("velmoractl").string()) +
                                          " transcribe " +
                                          testsupport::shellQuoted((home.path() / "mic.m4a").string()) +
                                          " --model tiny --endpoint http://hub.invalid/ 2>/dev/null",
                                      &output),
              0)
        << output;
    EXPECT_NE(output.find("  [debug] マージ後チャンク数: 1"), std::string::npos) << output;
}
