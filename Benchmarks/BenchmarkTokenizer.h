#pragma once
// The real multilingual Whisper tokenizer of the test data, for the benchmarks that decode text.

#include "OrvaneCore/External/Hub/Client/HubApiWrapper.h"
#include "OrvaneCore/Models/AutoTokenizerWrapper.h"
#include "Sonavex/Core/Tokenizer/WhisperTokenizerWrapper.h"

#include <filesystem>
#include <memory>

namespace benchsupport {

inline std::shared_ptr<sonavex::WhisperTokenizer> multilingualTokenizer() {
    // The program lives in build/bin of the source tree.
    const auto folder =
        std::filesystem::read_symlink("/proc/self/exe").parent_path().parent_path().parent_path() /
        "Tests/Data/tokenizers/whisper-multilingual";
    return std::make_shared<sonavex::WhisperTokenizerWrapper>(
        orvane::AutoTokenizerWrapper::fromModelFolder(folder, orvane::HubApiWrapper(), true), folder);
}

} // namespace benchsupport
