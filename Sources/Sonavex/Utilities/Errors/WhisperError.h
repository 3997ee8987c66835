#pragma once
// The one error type of the speech engine: a case saying which kind of step failed and an English
// message that is the whole text of the error. Platform errors (files, model runtime, cancellation) pass
// through the engine unchanged; only the engine's own failures are WhisperErrors.

#include <stdexcept>
#include <string>
#include <string_view>

namespace sonavex {

class WhisperError : public std::runtime_error {
public:
    enum class Kind {
        tokenizerUnavailable,
        modelsUnavailable,
        audioProcessingFailed,
        decodingLogitsFailed,
        segmentingFailed,
        loadAudioFailed,
        prepareDecoderInputsFailed,
        transcriptionFailed,
        decodingFailed,
        microphoneUnavailable,
        initializationError,
    };

    WhisperError(Kind kind, std::string message);

    static WhisperError tokenizerUnavailable(std::string message = "Tokenizer is unavailable");
    static WhisperError modelsUnavailable(std::string message = "Models are unavailable");
    static WhisperError audioProcessingFailed(std::string message);
    static WhisperError decodingLogitsFailed(std::string message);
    static WhisperError segmentingFailed(std::string message);
    static WhisperError loadAudioFailed(std::string message);
    static WhisperError prepareDecoderInputsFailed(std::string message);
    static WhisperError transcriptionFailed(std::string message);
    static WhisperError decodingFailed(std::string message);
    static WhisperError microphoneUnavailable(std::string message);
    static WhisperError initializationError(std::string message);

    Kind kind() const { return kind_; }
    /// The case name as written in code, e.g. "loadAudioFailed".
    std::string_view caseName() const { return caseName(kind_); }
    static std::string_view caseName(Kind kind);

    /// The message alone; what() returns the same text without side effects.
    const std::string& message() const { return message_; }

    /// The description shown to users: writes the message to the engine log at error level (every read
    /// logs again, so a failure that is only shown is still on record) and returns it unchanged.
    std::string errorDescription() const;
    /// The same as errorDescription(), under the name log items are rendered through.
    std::string description() const { return errorDescription(); }

    friend bool operator==(const WhisperError& left, const WhisperError& right) {
        return left.kind_ == right.kind_ && left.message_ == right.message_;
    }

private:
    Kind kind_;
    std::string message_;
};

} // namespace sonavex
