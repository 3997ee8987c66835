// Arbitrary bytes (invalid UTF-8, lone surrogates, control characters, added-token look-alikes)
// encoded, tokenized and decoded by every real tokenizer of the test data: none of it may fail.

#include "Fuzz/FuzzSupport.h"
#include "OrvaneCore/External/Hub/Client/HubApiWrapper.h"
#include "OrvaneCore/External/Hub/Configuration/LanguageModelConfigurationFromHub.h"
#include "OrvaneCore/Models/AutoTokenizerWrapper.h"

#include <cstdint>
#include <filesystem>
#include <vector>

namespace {

std::vector<orvane::TokenizerWrapper>& tokenizers() {
    static std::vector<orvane::TokenizerWrapper> all;
    return all;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    for (const auto& entry : std::filesystem::directory_iterator(fuzz::dataPath("tokenizers"))) {
        if (!std::filesystem::exists(entry.path() / "tokenizer.json")) {
            continue;
        }
        // As the engine loads a repository: the class named by the configuration, or by the model type.
        const orvane::LanguageModelConfigurationFromHub configuration(entry.path(), orvane::HubApiWrapper());
        tokenizers().push_back(orvane::AutoTokenizerWrapper::ofConfiguredClass(
            *configuration.tokenizerConfig(), configuration.configurations().tokenizerData, true));
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    for (const auto& tokenizer : tokenizers()) {
        (void)tokenizer.tokenize(text);
        const auto ids = tokenizer.encode(text);
        (void)tokenizer.encode(text, false);
        (void)tokenizer.decode(ids);
        (void)tokenizer.decode(ids, true);
    }
    return 0;
}
