#pragma once
// What the engine facade's tests share: a home of their own (so the hub's default mirror starts empty),
// a local fake hub as the endpoint, and model folders converted once per test program from small
// public-layout checkpoints (tiny widths, one decoder layer, real tokenizer files).

#include "SonavexTests/CheckpointFixture.h"
#include "SonavexTests/LogCapture.h"
#include "Sonavex/Core/Sonavex.h"
#include "Sonavex/Utilities/CheckpointConverter.h"
#include "Support/FakeHub.h"
#include "Support/ScopedEnvironment.h"
#include "Support/TestSupport.h"

#include <algorithm>
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

class FacadeTest : public testing::Test {
protected:
    void SetUp() override {
        environment.set("HOME", home.path().string());
        for (const char* name : {"HF_TOKEN", "HUGGING_FACE_HUB_TOKEN", "HF_TOKEN_PATH", "HF_HOME",
                                 "CI_DISABLE_NETWORK_MONITOR", "XDG_DOCUMENTS_DIR", "XDG_CONFIG_HOME"}) {
            environment.unset(name);
        }
        environment.set("HF_ENDPOINT", hub.endpoint());
    }

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
