#pragma once
// What the engine facade's tests share: a home of their own (so the hub's default mirror starts empty),
// a local fake hub as the endpoint, model folders converted once per test program from small public-layout
// checkpoints (tiny widths, one decoder layer, real tokenizer files), and scripted models whose text is
// known.

#include "Platform/ML/Whisper/AudioEncoderModel.h"
#include "Platform/ML/Whisper/MelSpectrogramModel.h"
#include "Sonavex/Core/Sonavex.h"
#include "Sonavex/Utilities/Models/CheckpointConverter.h"
#include "SonavexTests/CheckpointFixture.h"
#include "SonavexTests/DecoderTestSupport.h"
#include "SonavexTests/HubIsolation.h"
#include "SonavexTests/LogCapture.h"
#include "Support/Network/FakeHub.h"
#include "Support/ScopedEnvironment.h"
#include "Support/TestSupport.h"

#include <algorithm>
#include <functional>
#include <mutex>
#include <gtest/gtest.h>

namespace facadetest {

namespace fs = std::filesystem;

/// A tiny-shaped checkpoint, multilingual (51,865 tokens) or English-only (51,864).
inline testsupport::CheckpointShape tinyShape(bool multilingual = true) {
    testsupport::CheckpointShape shape;
    shape.width = 384;
    shape.heads = 6;
    shape.decoderLayers = 1;
    shape.vocabulary = multilingual ? 51865 : 51864;
    return shape;
}

/// A model folder converted from tinyShape, made once per program and never changed by tests.
inline const fs::path& convertedModels(bool multilingual = true) {
    struct Converted {
        testsupport::TemporaryDirectory storage;
        fs::path folder;
        std::once_flag once;
    };
    static Converted converted[2];
    Converted& entry = converted[multilingual ? 0 : 1];
    std::call_once(entry.once, [&] {
        testsupport::writeCheckpoint(entry.storage / "checkpoint", tinyShape(multilingual));
        entry.folder = entry.storage / "models";
        sonavex::CheckpointConverter::convert(entry.storage / "checkpoint", entry.folder);
    });
    return entry.folder;
}

/// A copy of a converted model folder at `to`.
inline fs::path copyModels(const fs::path& to, bool multilingual = true) {
    fs::create_directories(to.parent_path());
    fs::copy(convertedModels(multilingual), to, fs::copy_options::recursive);
    return to;
}

/// A model folder for transcription with known text: a mel model of `windowSamples` windows, a small
/// encoder and a scripted decoder that writes "ab" from 0.00 to 1.00 and ends there, so every window of
/// speech or silence gives one segment and the next window starts a whole window later.
inline fs::path writeScriptedModels(const fs::path& folder, int64_t windowSamples = 16000) {
    const int64_t frames = windowSamples / 320;
    using decodertest::A;
    using decodertest::B;
    using decodertest::EOT;
    using decodertest::T0;
    using decodertest::T1;
    constexpr int64_t any = ml::ScriptedTextDecoderModel::kAnyPosition;
    ml::MelSpectrogramModel::writer(80, windowSamples).writeCompiled(folder / "MelSpectrogram.mlmodelc");
    ml::AudioEncoderModel::writer(ml::AudioEncoderShape{80, 64, 1, 1, frames}, 7)
        .writeCompiled(folder / "AudioEncoder.mlmodelc");
    ml::TextDecoderShape decoderShape;
    decoderShape.width = 64;
    decoderShape.layers = 2;
    decoderShape.audioFrames = frames;
    ml::ScriptedTextDecoderModel::writer(decoderShape,
                                         {{T0, any, A, -1}, {A, any, B, -1}, {B, any, T1, -1}, {T1, any, EOT, -1}},
                                         -1, 0, true)
        .writeCompiled(folder / "TextDecoder.mlmodelc");
    return folder;
}

/// A loaded engine on writeScriptedModels with the table tokenizer, multilingual.
template <class Engine = sonavex::Sonavex> std::shared_ptr<Engine> scriptedEngine(const fs::path& folder) {
    sonavex::SonavexConfig config;
    config.modelFolder = folder.string();
    config.load = false;
    config.verbose = false;
    auto engine = sonavex::Sonavex::create<Engine>(config);
    engine->setTokenizer(decodertest::tableTokenizer());
    engine->loadModels();
    engine->textDecoder()->setIsModelMultilingual(true);
    return engine;
}

inline std::vector<float> silence(double seconds) { return std::vector<float>(size_t(seconds * 16000), 0.0f); }

/// The message of what `call` throws, or "no error".
inline std::string errorOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const std::exception& error) {
        return error.what();
    }
    return "no error";
}

class FacadeTest : public testing::Test {
protected:
    void SetUp() override { isolateHub(environment, home.path(), hub.endpoint()); }

    /// A configuration that loads the given folder and logs nothing.
    static void useFolder(sonavex::SonavexConfig& config, const fs::path& folder) {
        config.modelFolder = folder.string();
        config.verbose = false;
    }

    static bool contains(const std::vector<std::string>& lines, const std::string& line) {
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }

    testsupport::TemporaryDirectory home;
    testsupport::TemporaryDirectory temporary;
    testsupport::ScopedEnvironment environment;
    testsupport::FakeHub hub;
};

} // namespace facadetest
