#pragma once
// Sign-in with the service's web page, the refresh token kept in the keychain, and short-lived access
// tokens traded for it. Signing in opens base URL + "native/callback" in the user's browser; the service
// answers by opening a "velmora:" address, which the desktop hands to the application and the
// application to handleCallbackURL(). Published: whether a refresh token is stored.
//
// A build without a service's address (VELMORA_AUTH_BASE_URL empty) has no sign-in: signInExists() is
// false, and the application's parts then neither show nor ask for one.
//
// Main thread only, except fetchAccessToken(), which blocks and may be called from any thread.
// Tokens never appear in logs or error texts.

#include "Platform/Desktop/Keychain/KeychainStore.h"
#include "Platform/Desktop/Notifications/NotificationCenter.h"
#include "Platform/Desktop/UrlHandling/BrowserOpener.h"
#include "Platform/Net/HttpSession.h"
#include "Platform/Net/Url.h"
#include "VelmoraCore/Auth/JwtExpiry.h"
#include "VelmoraCore/MainThreadDispatcher.h"
#include "VelmoraCore/Observable.h"

#include <chrono>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>

namespace velmora {

class CallbackUrl;

class AuthSession : public std::enable_shared_from_this<AuthSession> {
public:
    /// Everything the session talks to; tests replace any of it.
    struct Dependencies {
        std::shared_ptr<MainThreadDispatcher> mainThread;
        std::shared_ptr<desktop::KeychainStore> keychain;
        std::shared_ptr<desktop::BrowserOpener> browser;
        std::shared_ptr<desktop::NotificationCenter> notifications;
        /// None: there is no service to sign in to.
        std::optional<net::Url> baseURL = AuthSession::baseURL();
        std::shared_ptr<const net::HttpSession> http;
        std::function<Date()> now = [] { return Date(std::chrono::system_clock::now()); };
        /// A sign-in nobody answers ends as cancelled after this long (no browser tells us it closed).
        std::chrono::milliseconds signInTimeout = std::chrono::minutes(5);
    };

    /// Called once when a sign-in ends, on the main thread: with nothing when it completed, else with
    /// the error (AuthError::cancelled, AuthError::message, …).
    using SignInCompletion = std::function<void(std::exception_ptr)>;

    /// Signed in exactly when the keychain holds a token. Missing dependencies get the desktop's own
    /// (the secret store, xdg-open, the notification service, the shared HTTP session).
    static std::shared_ptr<AuthSession> create(Dependencies dependencies);
    /// The process-wide instance on the desktop's services, made on the first call with that main thread.
    static std::shared_ptr<AuthSession> shared(std::shared_ptr<MainThreadDispatcher> mainThread);

    /// The service's address, a constant of the build (VELMORA_AUTH_BASE_URL); none when it is empty.
    static std::optional<net::Url> baseURL();

    ~AuthSession();
    AuthSession(const AuthSession&) = delete;
    AuthSession& operator=(const AuthSession&) = delete;

    /// Whether there is a service to sign in to: the session was given an address.
    bool signInExists() const { return deps_.baseURL.has_value(); }
    const Observable<bool>& isSignedIn() const { return isSignedIn_; }
    /// True while a sign-in waits for its answer.
    bool isSigningIn() const { return static_cast<bool>(pendingSignIn_); }

    /// Opens the sign-in page and returns at once; `completion` runs when the answer arrives, the wait
    /// times out (cancelled), a later signIn() replaces this one (cancelled), or the browser cannot be
    /// opened (AuthError::message). Without a service it fails at once.
    void signIn(SignInCompletion completion);
    /// Completes a waiting sign-in from an address the application was asked to open: scheme exactly
    /// "velmora", and host "auth" or a path containing "callback". Anything else is ignored.
    void handleCallbackURL(const std::string& url);
    /// Forgets the refresh token and the cached access token.
    void signOut();

    /// A valid access token: the cached one while it is good for more than 60 seconds, else a new one
    /// from the service. Throws AuthError::notSignedIn without a refresh token, AuthError::message for a
    /// refused or failed answer (a 401 also signs out), and the HTTP layer's or decoding errors as they
    /// come. Without a service, AuthError::notSignedIn and nothing changes. Blocks; any thread.
    std::string fetchAccessToken(std::stop_token stop = {});

    /// The notification shown after a sign-in.
    static constexpr const char* notificationTitle = "ベルモラ";
    static constexpr const char* notificationBody = "ログインしました。トレイのアイコンから開けます。";
    static constexpr const char* callbackScheme = "velmora";
    static constexpr std::chrono::seconds accessTokenMargin{60};
    static constexpr std::chrono::seconds accessTokenTimeout{60};

private:
    explicit AuthSession(Dependencies dependencies);

    void completeSignIn(const CallbackUrl& url);
    /// The browser of sign-in number `attempt` could not show the page: that sign-in, if it still
    /// waits, ends with the reason.
    void browserFailed(unsigned attempt, const std::string& reason);
    /// Ends the waiting sign-in, if any, handing `error` to its completion on the main thread.
    void failSignIn(std::exception_ptr error);
    /// Clears the waiting sign-in and stops its time-out; the caller resumes the completion.
    SignInCompletion takePendingSignIn();
    void notifySignInSuccess();
    void clearCachedAccessToken();
    /// Sets the published flag on the main thread (posting it there from any other thread).
    void publishSignedIn(bool signedIn);

    Dependencies deps_;
    Observable<bool> isSignedIn_;
    SignInCompletion pendingSignIn_;
    /// Counts sign-ins, so a late word from an earlier one's browser never ends a later one.
    unsigned signInAttempt_ = 0;
    std::unique_ptr<RepeatingTimer> signInTimeout_;

    std::mutex cacheMutex_; // the cache is shared with fetches on other threads
    std::optional<std::string> cachedAccessToken_;
    std::optional<Date> cachedAccessTokenExpiry_;
};

} // namespace velmora
