#pragma once
// Removes up to a number of leading and of trailing blanks from each token (as the blank a word
// marker left at the very start of a text).

#include "OrvaneCore/External/Tokenizers/Decoders/Decoder.h"

#include <cstdint>

namespace orvane {

class Config;

class StripDecoder : public Decoder {
public:
    /// Reads "content" (a string), "start" and "stop" (integers), all required. Throws TokenizerError
    /// (mismatchedConfig "Incorrect StripDecoder configuration: can't parse `content`." and likewise
    /// for `start` and `stop`, in that order).
    explicit StripDecoder(const Config& config);
    StripDecoder(std::string content, std::int64_t start, std::int64_t stop)
        : content_(std::move(content)), start_(start), stop_(stop) {}

    std::vector<std::string> decode(const std::vector<std::string>& tokens) const override;

    const std::string& content() const { return content_; }
    std::int64_t start() const { return start_; }
    std::int64_t stop() const { return stop_; }

private:
    std::string content_;
    std::int64_t start_;
    std::int64_t stop_;
};

} // namespace orvane
