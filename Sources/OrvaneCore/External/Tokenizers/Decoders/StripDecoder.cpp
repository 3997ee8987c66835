#include "OrvaneCore/External/Tokenizers/Decoders/StripDecoder.h"

#include "OrvaneCore/External/Hub/Configuration/Config.h"
#include "OrvaneCore/External/Tokenizers/Pipeline/TokenizerError.h"

namespace orvane {
namespace {

template <typename T> T required(std::optional<T> value, const char* member) {
    if (!value) {
        throw TokenizerError::mismatchedConfig(std::string("Incorrect StripDecoder configuration: can't parse `") +
                                               member + "`.");
    }
    return *value;
}

} // namespace

StripDecoder::StripDecoder(const Config& config)
    : content_(required(config["content"].string(), "content")),
      start_(required(config["start"].integer(), "start")), stop_(required(config["stop"].integer(), "stop")) {}

std::vector<std::string> StripDecoder::decode(const std::vector<std::string>& tokens) const {
    std::vector<std::string> out;
    out.reserve(tokens.size());
    for (const std::string& token : tokens) {
        std::size_t begin = 0;
        std::size_t end = token.size();
        for (std::int64_t i = 0; i < start_ && begin < end && token[begin] == ' '; ++i) {
            ++begin;
        }
        for (std::int64_t i = 0; i < stop_ && end > begin && token[end - 1] == ' '; ++i) {
            --end;
        }
        out.push_back(token.substr(begin, end - begin));
    }
    return out;
}

} // namespace orvane
