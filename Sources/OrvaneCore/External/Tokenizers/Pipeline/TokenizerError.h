#pragma once
// The one error of the tokenizers. It is raised only while a tokenizer is being built: a configuration
// that cannot make a working tokenizer fails the whole construction; tokenizing and decoding never throw.

#include <stdexcept>
#include <string>

namespace orvane {

class TokenizerError : public std::runtime_error {
public:
    enum class Kind {
        unsupportedTokenizer,
        tooLong,
        mismatchedConfig,
        missingConfig,
        missingTokenizerClassInConfig,
        missingVocab,
        malformedVocab,
    };

    static TokenizerError unsupportedTokenizer(const std::string& className);
    static TokenizerError tooLong(const std::string& detail);
    static TokenizerError mismatchedConfig(const std::string& message);
    static TokenizerError missingConfig();
    static TokenizerError missingTokenizerClassInConfig();
    static TokenizerError missingVocab();
    static TokenizerError malformedVocab();

    Kind kind() const { return kind_; }
    /// The case's text (class name, detail or message); empty for the cases without one.
    const std::string& payload() const { return payload_; }

private:
    TokenizerError(Kind kind, std::string payload, const std::string& description);

    Kind kind_;
    std::string payload_;
};

} // namespace orvane
