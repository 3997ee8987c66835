#include "VelmoraCore/Auth/AuthSession.h"

#include "OrvaneCore/Errors/DecodingError.h"
#include "Platform/Desktop/Notifications/FreedesktopNotificationCenter.h"
#include "Platform/Desktop/UrlHandling/XdgBrowserOpener.h"
#include "VelmoraCore/Auth/AuthError.h"
#include "VelmoraCore/Auth/CallbackUrl.h"
#include "VelmoraCore/Auth/RefreshTokenKeychain.h"

#include <iostream>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string_view>

namespace velmora {

namespace {

constexpr const char* missingTokenMessage = "コールバックにトークンが含まれていません";
constexpr const char* accessTokenFailedMessage = "アクセストークンの取得に失敗しました";
constexpr const char* browserFailedMessage = "ブラウザを開けませんでした: ";
constexpr const char* noServiceMessage = "ログインサービスがありません";

void warn(const std::string& text) {
    std::cerr << "warning: " << text << std::endl;
}

// The answer of the token endpoint: an object with a string "token"; other members are ignored. The
// errors never quote the body, which holds a token.
std::string decodeAccessToken(const std::string& body) {
    const nlohmann::json json = nlohmann::json::parse(body, nullptr, false);
    if (json.is_discarded()) {
        throw orvane::DecodingError(orvane::DecodingError::Kind::dataCorrupted,
                                    "The given data was not valid JSON.");
    }
    if (!json.is_object()) {
        throw orvane::DecodingError(orvane::DecodingError::Kind::typeMismatch,
                                    "Expected to decode a dictionary but found another value.");
    }
    const auto token = json.find("token");
    if (token == json.end()) {
        throw orvane::DecodingError(orvane::DecodingError::Kind::keyNotFound,
                                    "No value associated with key \"token\".");
    }
    if (token->is_null()) {
        throw orvane::DecodingError(orvane::DecodingError::Kind::valueNotFound,
                                    "Expected a string value for key \"token\" but found null.");
    }
    if (!token->is_string()) {
        throw orvane::DecodingError(orvane::DecodingError::Kind::typeMismatch,
                                    "Expected a string value for key \"token\" but found another value.");
    }
    return token->get<std::string>();
}

} // namespace

std::optional<net::Url> AuthSession::baseURL() {
    static const std::optional<net::Url> url = []() -> std::optional<net::Url> {
        constexpr std::string_view address = VELMORA_AUTH_BASE_URL;
        if (address.empty()) {
            return std::nullopt;
        }
        auto parsed = net::Url::parse(std::string(address));
        if (!parsed || parsed->scheme().empty()) {
            throw std::logic_error("VELMORA_AUTH_BASE_URL is not an address");
        }
        return parsed;
    }();
    return url;
}

std::shared_ptr<AuthSession> AuthSession::create(Dependencies dependencies) {
    if (!dependencies.mainThread) {
        throw std::invalid_argument("AuthSession needs a main thread");
    }
    if (!dependencies.keychain) {
        dependencies.keychain = refreshTokenKeychain();
    }
    if (!dependencies.browser) {
        dependencies.browser = std::make_shared<desktop::XdgBrowserOpener>();
    }
    if (!dependencies.notifications) {
        dependencies.notifications =
            std::make_shared<desktop::FreedesktopNotificationCenter>(notificationTitle);
    }
    if (!dependencies.http) {
        // The process-wide session outlives every user of it.
        dependencies.http =
            std::shared_ptr<const net::HttpSession>(std::shared_ptr<void>(), &net::HttpSession::shared());
    }
    return std::shared_ptr<AuthSession>(new AuthSession(std::move(dependencies)));
}

std::shared_ptr<AuthSession> AuthSession::shared(std::shared_ptr<MainThreadDispatcher> mainThread) {
    static std::shared_ptr<AuthSession> instance = [&] {
        Dependencies dependencies;
        dependencies.mainThread = std::move(mainThread);
        return create(std::move(dependencies));
    }();
    return instance;
}

AuthSession::AuthSession(Dependencies dependencies)
    : deps_(std::move(dependencies)), isSignedIn_(deps_.keychain->load().has_value()) {}

AuthSession::~AuthSession() = default;

void AuthSession::signIn(SignInCompletion completion) {
    // One sign-in at a time: a new one ends the waiting one, so no caller is left waiting for ever.
    failSignIn(std::make_exception_ptr(AuthError::cancelled()));
    pendingSignIn_ = std::move(completion);
    if (!deps_.baseURL) {
        failSignIn(std::make_exception_ptr(AuthError::message(noServiceMessage)));
        return;
    }
    const unsigned attempt = ++signInAttempt_;
    std::weak_ptr<AuthSession> weakSelf = weak_from_this();
    signInTimeout_ = deps_.mainThread->scheduleRepeating(deps_.signInTimeout, [weakSelf] {
        if (auto self = weakSelf.lock()) {
            self->failSignIn(std::make_exception_ptr(AuthError::cancelled()));
        }
    });
    const net::Url start = deps_.baseURL->appendingPath("native/callback");
    // Without this the user would wait for a browser window that never opened until the time-out.
    deps_.browser->openWatched(start.absoluteString(),
                               [weakSelf, mainThread = deps_.mainThread, attempt](const std::string& reason) {
                                   mainThread->post([weakSelf, attempt, reason] {
                                       if (auto self = weakSelf.lock()) {
                                           self->browserFailed(attempt, reason);
                                       }
                                   });
                               });
}

void AuthSession::browserFailed(unsigned attempt, const std::string& reason) {
    if (attempt != signInAttempt_ || !pendingSignIn_) {
        return;
    }
    warn("the sign-in page could not be opened in a browser: " + reason);
    failSignIn(std::make_exception_ptr(AuthError::message(browserFailedMessage + reason)));
}

void AuthSession::handleCallbackURL(const std::string& text) {
    const auto url = CallbackUrl::parse(text);
    if (!url || url->scheme() != std::optional<std::string>(callbackScheme)) {
        return;
    }
    if (url->host() == std::optional<std::string>("auth") ||
        url->path().find("callback") != std::string::npos) {
        completeSignIn(*url);
    }
}

void AuthSession::completeSignIn(const CallbackUrl& url) {
    if (!pendingSignIn_) {
        return; // the other way of answering was first
    }
    SignInCompletion completion = takePendingSignIn();
    const auto token = url.firstQueryValue("token");
    if (!token) {
        deps_.mainThread->post([completion = std::move(completion)] {
            completion(std::make_exception_ptr(AuthError::message(missingTokenMessage)));
        });
        return;
    }
    deps_.keychain->save(*token);
    if (deps_.keychain->load() != token) {
        // Signed in for this run all the same; without a secret store the next start is signed out.
        warn("the sign-in could not be kept in the desktop's secret store (no keyring service such as "
             "gnome-keyring or KWallet?); it lasts until the application quits");
    }
    clearCachedAccessToken();
    isSignedIn_.set(true);
    deps_.mainThread->post([completion = std::move(completion)] { completion(nullptr); });
    notifySignInSuccess();
}

void AuthSession::failSignIn(std::exception_ptr error) {
    if (!pendingSignIn_) {
        return;
    }
    SignInCompletion completion = takePendingSignIn();
    deps_.mainThread->post(
        [completion = std::move(completion), error = std::move(error)] { completion(error); });
}

AuthSession::SignInCompletion AuthSession::takePendingSignIn() {
    SignInCompletion completion = std::move(pendingSignIn_);
    pendingSignIn_ = nullptr;
    // Only cancelled here: this may run inside the timer's own tick. The next sign-in replaces it.
    if (signInTimeout_) {
        signInTimeout_->cancel();
    }
    return completion;
}

void AuthSession::notifySignInSuccess() {
    auto notifications = deps_.notifications;
    auto mainThread = deps_.mainThread;
    notifications->requestAuthorization([notifications, mainThread](bool granted) {
        if (!granted) {
            return;
        }
        mainThread->post([notifications] {
            notifications->add({notificationTitle, notificationBody, /*playsDefaultSound=*/true});
        });
    });
}

void AuthSession::signOut() {
    deps_.keychain->remove();
    clearCachedAccessToken();
    isSignedIn_.set(false);
}

std::string AuthSession::fetchAccessToken(std::stop_token stop) {
    {
        std::lock_guard lock(cacheMutex_);
        if (cachedAccessToken_ && cachedAccessTokenExpiry_ &&
            *cachedAccessTokenExpiry_ > deps_.now() + std::chrono::duration<double>(accessTokenMargin)) {
            return *cachedAccessToken_;
        }
    }
    if (!deps_.baseURL) {
        throw AuthError::notSignedIn();
    }
    const auto refreshToken = deps_.keychain->load();
    if (!refreshToken) {
        publishSignedIn(false);
        throw AuthError::notSignedIn();
    }
    net::HttpRequest request(deps_.baseURL->appendingPath("api/auth/token"));
    request.timeout = accessTokenTimeout;
    request.headers.set("Authorization", "Bearer " + *refreshToken);
    const net::HttpData answer = deps_.http->send(request, stop); // transport errors go up unchanged

    if (answer.response.statusCode == 200) {
        std::string token = decodeAccessToken(answer.body);
        std::lock_guard lock(cacheMutex_);
        cachedAccessToken_ = token;
        cachedAccessTokenExpiry_ = jwtExpiry(token);
        return token;
    }
    if (answer.response.statusCode == 401) {
        deps_.keychain->remove();
        clearCachedAccessToken();
        publishSignedIn(false);
    }
    throw AuthError::message(accessTokenFailedMessage);
}

void AuthSession::clearCachedAccessToken() {
    std::lock_guard lock(cacheMutex_);
    cachedAccessToken_.reset();
    cachedAccessTokenExpiry_.reset();
}

void AuthSession::publishSignedIn(bool signedIn) {
    if (deps_.mainThread->isMainThread()) {
        isSignedIn_.set(signedIn);
        return;
    }
    std::weak_ptr<AuthSession> weakSelf = weak_from_this();
    deps_.mainThread->post([weakSelf, signedIn] {
        if (auto self = weakSelf.lock()) {
            self->isSignedIn_.set(signedIn);
        }
    });
}

} // namespace velmora
