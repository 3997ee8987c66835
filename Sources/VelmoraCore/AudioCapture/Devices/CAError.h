#pragma once
// The audio-hardware error: a failed sound-server call with its status, or a failure told in words.
// Its description is the status form "<call> failed — OSStatus <n>" (with the four characters of the
// status when all four are printable) or the words alone.

#include "VelmoraCore/AppError.h"

#include <cstdint>
#include <string>

namespace velmora {

class CAError : public AppError {
public:
    enum class Kind { status, message };

    /// The two cases. (The factory hides AppError::message(); description() gives the text.)
    static CAError status(std::string operation, int32_t status);
    static CAError message(std::string text);

    Kind kind() const { return kind_; }
    /// The call's name; empty for a message.
    const std::string& operation() const { return operation_; }
    /// The call's status; 0 for a message.
    int32_t statusCode() const { return status_; }

    std::string description() const override;
    /// The description: the error prints as it.
    std::string textualForm() const override;

    /// The status form of the description on its own.
    static std::string statusDescription(const std::string& operation, int32_t status);

private:
    CAError(Kind kind, std::string operation, int32_t status, std::string text);

    Kind kind_;
    std::string operation_;
    int32_t status_;
};

/// Returns for status 0; otherwise throws CAError::status(operation, status).
void caCheck(const std::string& operation, int32_t status);

} // namespace velmora
