#pragma once
// Why signing in or getting an access token failed. The description is the Japanese sentence the panel
// shows; no case ever carries a token.

#include "VelmoraCore/AppError.h"

#include <string>

namespace velmora {

class AuthError : public AppError {
public:
    enum class Kind { message, notSignedIn, cancelled };

    /// A failure described by its own text.
    static AuthError message(std::string text);
    /// "ログインしていません"
    static AuthError notSignedIn();
    /// "ログインがキャンセルされました"
    static AuthError cancelled();

    Kind kind() const { return kind_; }

    /// message("…") with the quoted text; the bare case name for the others.
    std::string textualForm() const override;

private:
    AuthError(Kind kind, std::string caseName, std::string text);
    Kind kind_;
};

} // namespace velmora
