#include "Arguments/DecodeArguments.h"

#include "CommandLine/NumberArguments.h"
#include "Platform/ML/Files/Npy.h"

#include <algorithm>

namespace sonavex::tool {

std::vector<int64_t> parseTokenList(const std::string& text, const std::string& name) {
    std::vector<int64_t> tokens;
    for (const std::string& item : splitList(text, name)) {
        tokens.push_back(parseIntArgument(item, name));
    }
    return tokens;
}

std::shared_ptr<ml::MultiArray> readHalfArray(const std::string& path) {
    ml::MultiArray array = ml::readNpy(path);
    if (array.dataType() != ml::MultiArrayDataType::Float16) {
        array = array.converted(ml::MultiArrayDataType::Float16);
    }
    return std::make_shared<ml::MultiArray>(std::move(array));
}

namespace {
constexpr int64_t kTimestampCount = 1501;

int64_t listedIds(const WhisperTokenizer& tokenizer) {
    if (!tokenizer.convertIdToToken(0)) {
        return 0;
    }
    // The largest id with a token, by bisection between one that has one and one that has none.
    int64_t known = 0, missing = 1;
    while (missing < (int64_t(1) << 31) && tokenizer.convertIdToToken(static_cast<int>(missing))) {
        known = missing;
        missing *= 2;
    }
    while (missing - known > 1) {
        const int64_t middle = known + (missing - known) / 2;
        (tokenizer.convertIdToToken(static_cast<int>(middle)) ? known : missing) = middle;
    }
    return known + 1;
}
} // namespace

int64_t vocabularySize(const WhisperTokenizer& tokenizer) {
    return std::max(listedIds(tokenizer), tokenizer.specialTokens().timeTokenBegin + kTimestampCount);
}

} // namespace sonavex::tool
