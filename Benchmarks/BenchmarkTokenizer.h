#pragma once
// The real multilingual Whisper tokenizer of the test data, for the benchmarks that decode text.

#include "OrvaneCore/External/Hub/Client/HubApiWrapper.h"
#include "OrvaneCore/Models/AutoTokenizerWrapper.h"
#include "Sonavex/Core/Tokenizer/WhisperTokenizerWrapper.h"

#include <filesystem>
#include <memory>

namespace benchsupport {

inline std::shared_ptr<sonavex::WhisperTokenizer> multilingualTokenizer() {
    const auto folder = std::filesystem::path(VELMORA_TEST_DATA_DIR) / "tokenizers/whisper-multilingual";
    return std::make_shared<sonavex::WhisperTokenizerWrapper>(
        orvane::AutoTokenizerWrapper::fromModelFolder(folder, orvane::HubApiWrapper(), true), folder);
}

} // namespace benchsupport
