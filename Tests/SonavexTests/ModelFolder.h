#pragma once
// Files the tool tests hand to sonavex: a model folder and raw sample files.

#include "Support/TestSupport.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <vector>

// A model folder as the engine reads one: small random models of the full window and the multilingual
// tokenizer.
inline void makeModelFolder(const std::filesystem::path& folder) {
    const std::string tool = testsupport::toolPath("make-test-models").string();
    const std::string out = " --out " + testsupport::shellQuoted(folder.string());
    ASSERT_EQ(testsupport::runCommand(tool + " --kind mel --mels 80" + out + "/MelSpectrogram.mlmodelc"), 0);
    ASSERT_EQ(testsupport::runCommand(tool + " --kind encoder --mels 80 --width 64 --layers 1" + out +
                                      "/AudioEncoder.mlmodelc"),
              0);
    ASSERT_EQ(testsupport::runCommand(tool + " --kind decoder --vocab 51865 --width 64 --layers 1" + out +
                                      "/TextDecoder.mlmodelc"),
              0);
    for (const char* file : {"tokenizer.json", "tokenizer_config.json"}) {
        std::filesystem::copy_file(testsupport::dataPath("tokenizers/whisper-multilingual") / file,
                                   folder / file);
    }
}

inline void writeFloats(const std::filesystem::path& path, const std::vector<float>& samples) {
    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(samples.data()),
               std::streamsize(samples.size() * sizeof(float)));
}

