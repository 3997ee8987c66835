#include "OrvaneCore/External/Tokenizers/Decoders/ByteLevelDecoder.h"

#include "OrvaneCore/External/Tokenizers/Strings/ByteTables.h"
#include "OrvaneCore/Text/Encoding.h"

namespace orvane {
namespace {

// A character outside the byte table (an added token the decoder was not told about, or text that was
// never byte-encoded) keeps its own UTF-8 bytes rather than being lost.
void appendBytes(std::string& bytes, std::string_view token) {
    text::forEachCodePoint(token, [&](char32_t codePoint) {
        if (auto byte = byteDecoderByte(codePoint)) {
            bytes += static_cast<char>(*byte);
        } else {
            text::appendUtf8(bytes, codePoint);
        }
    });
}

} // namespace

ByteLevelDecoder::ByteLevelDecoder(std::unordered_set<std::string> addedTokens)
    : addedTokens_(std::move(addedTokens)) {}

std::vector<std::string> ByteLevelDecoder::decode(const std::vector<std::string>& tokens) const {
    std::vector<std::string> texts;
    std::string run;
    bool inRun = false;
    auto endRun = [&] {
        if (inRun)
            texts.push_back(text::decodeUtf8(run));
        run.clear();
        inRun = false;
    };
    for (const auto& token : tokens) {
        if (addedTokens_.contains(token)) {
            endRun();
            texts.push_back(token);
        } else {
            appendBytes(run, token);
            inRun = true;
        }
    }
    endRun();
    return texts;
}

} // namespace orvane
