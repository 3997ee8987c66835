#include "VelmoraCore/AudioCapture/Devices/CAError.h"

#include "VelmoraCore/ErrorText.h"

namespace velmora {

CAError::CAError(Kind kind, std::string operation, int32_t status, std::string text)
    : AppError(kind == Kind::status ? "status" : "message", std::move(text)), kind_(kind),
      operation_(std::move(operation)), status_(status) {}

CAError CAError::status(std::string operation, int32_t status) {
    std::string text = statusDescription(operation, status);
    return CAError(Kind::status, std::move(operation), status, std::move(text));
}

CAError CAError::message(std::string text) {
    return CAError(Kind::message, "", 0, std::move(text));
}

std::string CAError::statusDescription(const std::string& operation, int32_t status) {
    std::string text = operation + " failed \u2014 OSStatus " + std::to_string(status);
    const auto bits = static_cast<uint32_t>(status);
    std::string code;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const auto byte = static_cast<unsigned char>((bits >> shift) & 0xff);
        if (byte < 32 || byte > 126) {
            return text;
        }
        code += static_cast<char>(byte);
    }
    return text + " ('" + code + "')";
}

std::string CAError::description() const {
    return AppError::message();
}

std::string CAError::textualForm() const {
    // The error prints as its description, so a shown textual form reads the same as the description.
    return description();
}

void caCheck(const std::string& operation, int32_t status) {
    if (status != 0) {
        throw CAError::status(operation, status);
    }
}

} // namespace velmora
