// A tokenizer built from a hostile tokenizer.json and tokenizer_config.json pair, then used: building
// may refuse the files, but encoding, tokenizing and decoding never fail, whatever the text.
// Input: tokenizer.json, a line "@@@@", tokenizer_config.json, a line "@@@@", the text.

#include "Fuzz/FuzzSupport.h"
#include "OrvaneCore/External/Hub/Configuration/BomPreservingJsonReader.h"
#include "OrvaneCore/External/Tokenizers/Pipeline/TokenizerError.h"
#include "OrvaneCore/Models/AutoTokenizerWrapper.h"

#include <cstdint>
#include <cstring>
#include <optional>

namespace {

std::optional<orvane::Config> read(const std::string& text) {
    try {
        return orvane::BomPreservingJsonReader::bomPreservingJsonObject(text);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto documents = fuzz::parts(data, size, 3);
    const auto tokenizerData = read(documents[0]);
    const auto tokenizerConfig = read(documents[1].empty() ? R"({"tokenizer_class": "GPT2Tokenizer"})" : documents[1]);
    if (!tokenizerData || !tokenizerConfig) {
        return 0;
    }
    std::optional<orvane::TokenizerWrapper> tokenizer;
    for (bool strict : {true, false}) {
        try {
            tokenizer = orvane::AutoTokenizerWrapper::ofConfiguredClass(*tokenizerConfig, *tokenizerData, strict);
            break;
        } catch (const orvane::TokenizerError&) {
        }
    }
    if (!tokenizer) {
        return 0;
    }
    const std::string& text = documents[2];
    (void)tokenizer->tokenize(text);
    const auto ids = tokenizer->encode(text);
    (void)tokenizer->encode(text, false);
    (void)tokenizer->decode(ids);
    (void)tokenizer->decode(ids, true);
    // Ids from anywhere, not only from encoding.
    std::vector<orvane::TokenId> arbitrary;
    for (std::size_t i = 0; i + 4 <= text.size() && arbitrary.size() < 64; i += 4) {
        std::int32_t id;
        std::memcpy(&id, text.data() + i, sizeof id);
        arbitrary.push_back(id);
    }
    (void)tokenizer->decode(arbitrary);
    (void)tokenizer->decode(arbitrary, true);
    return 0;
}
