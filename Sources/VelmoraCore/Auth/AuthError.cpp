#include "VelmoraCore/Auth/AuthError.h"

namespace velmora {

AuthError::AuthError(Kind kind, std::string caseName, std::string text)
    : AppError(std::move(caseName), std::move(text)), kind_(kind) {}

AuthError AuthError::message(std::string text) {
    return AuthError(Kind::message, "message", std::move(text));
}

AuthError AuthError::notSignedIn() {
    return AuthError(Kind::notSignedIn, "notSignedIn", "ログインしていません");
}

AuthError AuthError::cancelled() {
    return AuthError(Kind::cancelled, "cancelled", "ログインがキャンセルされました");
}

std::string AuthError::textualForm() const {
    return kind_ == Kind::message ? AppError::textualForm() : caseName();
}

} // namespace velmora
