#include "AuthTestSupport.h"
#include "OrvaneCore/Errors/DecodingError.h"
#include "Platform/Desktop/Keychain/MemoryKeychain.h"
#include "Platform/Net/UrlError.h"
#include "Support/Network/FakeHub.h"
#include "VelmoraCore/Auth/AuthError.h"
#include "VelmoraCore/Auth/AuthSession.h"
#include "VelmoraCore/PlainMainLoop.h"

#include <gtest/gtest.h>
#include <thread>

using namespace velmora;
using namespace std::chrono_literals;
using testsupport::FakeHub;

namespace {

constexpr const char* missingToken = "コールバックにトークンが含まれていません";
constexpr const char* fetchFailed = "アクセストークンの取得に失敗しました";

class AuthSessionTest : public ::testing::Test {
protected:
    std::shared_ptr<AuthSession> makeSession(std::optional<std::string> stored = std::nullopt,
                                             std::string base = "") {
        keychain = std::make_shared<desktop::MemoryKeychain>(std::move(stored));
        AuthSession::Dependencies dependencies;
        dependencies.mainThread = loop;
        dependencies.keychain = keychain;
        dependencies.browser = browser;
        dependencies.notifications = notifications;
        dependencies.baseURL = *net::Url::parse(base.empty() ? hub.endpoint() + "/" : base);
        dependencies.now = [this] { return now; };
        return AuthSession::create(std::move(dependencies));
    }

    // Starts a sign-in whose outcome lands in `outcome`: "signedIn", or the error's case and description.
    void startSignIn(AuthSession& session) {
        outcome.reset();
        session.signIn([this](std::exception_ptr error) {
            if (!error) {
                outcome = "signedIn";
                return;
            }
            try {
                std::rethrow_exception(error);
            } catch (const AuthError& authError) {
                outcome = authError.caseName() + ": " + authError.description();
            }
        });
    }

    void answerToken(const std::string& token, int status = 200) {
        hub.addFault(FakeHub::Fault::on("/api/auth/token")
                         .answer(status)
                         .withBody(R"({"token":")" + token + R"("})")
                         .limit(1));
    }
    int tokenRequests() const { return static_cast<int>(hub.requests().size()); }

    FakeHub hub;
    std::shared_ptr<PlainMainLoop> loop = std::make_shared<PlainMainLoop>(PlainMainLoop::Clock::manual);
    std::shared_ptr<desktop::MemoryKeychain> keychain;
    std::shared_ptr<authtest::RecordingBrowser> browser = std::make_shared<authtest::RecordingBrowser>();
    std::shared_ptr<authtest::RecordingNotifications> notifications =
        std::make_shared<authtest::RecordingNotifications>();
    Date now = Date(std::chrono::duration<double>(1'800'000'000.0));
    std::optional<std::string> outcome;
};

} // namespace

TEST_F(AuthSessionTest, OnlyVelmoraAddressesForAuthOrACallbackPathCompleteTheSignIn) {
    auto session = makeSession();
    startSignIn(*session);
    for (const char* ignored :
         {"VELMORA://auth?token=x", "Velmora://auth?token=x", "https://auth?token=x", "auth?token=x",
          "//auth?token=x", "velmora://other/path?token=x", "velmora://Auth?token=x",
          "velmora://auth?token=a b", "velmora auth token", "velmora-x://auth?token=x", ""}) {
        session->handleCallbackURL(ignored);
        loop->runUntilIdle();
        EXPECT_TRUE(session->isSigningIn()) << ignored;
    }
    EXPECT_EQ(keychain->saveCount(), 0);
    EXPECT_FALSE(outcome);

    for (const auto& [url, token] : std::vector<std::pair<std::string, std::string>>{
             {"velmora://auth?token=a", "a"},
             {"velmora://elsewhere/native/callback?token=b", "b"},
             {"velmora://user@host:8080/path/to/callbacks?x=1&token=c%2Fd+e&token=f", "c/d+e"},
             {"velmora:callback?token=g", "g"},
             {"velmora://auth/?token=h#token=fragment", "h"}}) {
        startSignIn(*session);
        session->handleCallbackURL(url);
        loop->runUntilIdle();
        EXPECT_EQ(outcome, "signedIn") << url;
        EXPECT_EQ(keychain->load(), token) << url;
    }
}

TEST_F(AuthSessionTest, ACallbackWithNoSignInWaitingChangesNothing) {
    auto session = makeSession();
    session->handleCallbackURL("velmora://auth?token=unasked");
    loop->runUntilIdle();
    EXPECT_FALSE(session->isSignedIn().value());
    EXPECT_EQ(keychain->saveCount(), 0);
    EXPECT_EQ(notifications->questions, 0);
}

TEST_F(AuthSessionTest, ACallbackWithoutAUsableTokenFailsAndStoresNothing) {
    auto session = makeSession();
    for (const char* url : {"velmora://auth", "velmora://auth?", "velmora://auth?tokens=x&Token=y&%20token=z",
                            "velmora://auth?token", "velmora://auth?token&token=second"}) {
        startSignIn(*session);
        session->handleCallbackURL(url);
        EXPECT_FALSE(session->isSigningIn()) << url;
        loop->runUntilIdle();
        EXPECT_EQ(outcome, std::string("message: ") + missingToken) << url;
        EXPECT_FALSE(session->isSignedIn().value());
    }
    EXPECT_EQ(keychain->saveCount(), 0);
    EXPECT_EQ(notifications->questions, 0);

    // An empty value is a token all the same.
    startSignIn(*session);
    session->handleCallbackURL("velmora://auth?token=");
    loop->runUntilIdle();
    EXPECT_EQ(outcome, "signedIn");
    EXPECT_EQ(keychain->load(), "");
    EXPECT_TRUE(session->isSignedIn().value());
}

TEST_F(AuthSessionTest, SignInOpensTheServicePageAndTheCallerHearsAfterTheStateChanged) {
    auto session = makeSession(std::nullopt, "https://service.example/base");
    std::vector<std::string> events;
    session->isSignedIn().subscribe(
        [&](bool signedIn) { events.push_back(signedIn ? "signed in" : "signed out"); });
    session->signIn([&](std::exception_ptr error) { events.push_back(error ? "failed" : "completed"); });
    EXPECT_EQ(browser->opened, std::vector<std::string>{"https://service.example/base/native/callback"});

    session->handleCallbackURL("velmora://auth?token=refresh");
    EXPECT_EQ(events, std::vector<std::string>{"signed in"})
        << "the caller resumes from the main loop, not inside";
    loop->runUntilIdle();
    EXPECT_EQ(events, (std::vector<std::string>{"signed in", "completed"}));

    // Authorised from another thread, shown from the main thread.
    EXPECT_EQ(notifications->questions, 1);
    ASSERT_EQ(notifications->shown.size(), 1u);
    EXPECT_EQ(notifications->shown[0].title, "ベルモラ");
    EXPECT_EQ(notifications->shown[0].body, "ログインしました。トレイのアイコンから開けます。");
    EXPECT_TRUE(notifications->shown[0].playsDefaultSound);

    notifications->grants = false;
    startSignIn(*session);
    session->handleCallbackURL("velmora://auth?token=again");
    loop->runUntilIdle();
    EXPECT_EQ(outcome, "signedIn");
    EXPECT_EQ(notifications->questions, 2);
    EXPECT_EQ(notifications->shown.size(), 1u) << "a refused authorisation shows nothing";
}

TEST_F(AuthSessionTest, NoSignInWaitsForEver) {
    auto session = makeSession();
    std::vector<std::string> first, second;
    auto record = [](std::vector<std::string>& into) {
        return [&into](std::exception_ptr error) {
            try {
                if (error) {
                    std::rethrow_exception(error);
                }
                into.push_back("signedIn");
            } catch (const AuthError& e) {
                into.push_back(e.description());
            }
        };
    };
    session->signIn(record(first));
    session->signIn(record(second)); // a second sign-in ends the first
    loop->runUntilIdle();
    EXPECT_EQ(first, std::vector<std::string>{"ログインがキャンセルされました"});
    EXPECT_TRUE(second.empty());
    EXPECT_EQ(browser->opened.size(), 2u);

    loop->advanceTime(5min - 1s);
    EXPECT_TRUE(session->isSigningIn());
    loop->advanceTime(1s);
    EXPECT_EQ(second, std::vector<std::string>{"ログインがキャンセルされました"});
    EXPECT_FALSE(session->isSigningIn());

    session->handleCallbackURL("velmora://auth?token=late");
    loop->advanceTime(10min);
    EXPECT_EQ(keychain->saveCount(), 0) << "an answer after the time-out finds nothing waiting";
    EXPECT_EQ(first.size() + second.size(), 2u) << "each caller hears exactly once";

    // An answered sign-in's time-out never fires later.
    std::vector<std::string> third;
    session->signIn(record(third));
    session->handleCallbackURL("velmora://auth?token=t");
    loop->advanceTime(10min);
    EXPECT_EQ(third, std::vector<std::string>{"signedIn"});
}

TEST_F(AuthSessionTest, ABrowserThatCannotBeOpenedEndsTheSignInAtOnceWithItsReason) {
    auto session = makeSession();
    testing::internal::CaptureStderr();
    browser->refuseWith = "Failed to execute child process \"xdg-open\" (No such file or directory)";
    startSignIn(*session);
    loop->runUntilIdle();
    EXPECT_EQ(outcome, "message: ブラウザを開けませんでした: Failed to execute child process \"xdg-open\" (No such "
                       "file or directory)");
    EXPECT_FALSE(session->isSigningIn());
    browser->refuseWith.reset();

    // The opener ends unsuccessfully a moment later, heard on its own thread.
    startSignIn(*session);
    std::thread([&, failed = browser->watchers.back()] { failed("xdg-open exited with status 3"); }).join();
    loop->runUntilIdle();
    EXPECT_EQ(outcome, "message: ブラウザを開けませんでした: xdg-open exited with status 3");
    EXPECT_FALSE(session->isSigningIn());

    // Word from an earlier sign-in's browser never ends a later sign-in.
    startSignIn(*session);
    const auto earlier = browser->watchers.back();
    startSignIn(*session);
    loop->runUntilIdle();
    outcome.reset();
    earlier("xdg-open exited with status 4");
    loop->runUntilIdle();
    EXPECT_EQ(outcome, std::nullopt);
    session->handleCallbackURL("velmora://auth?token=t");
    loop->runUntilIdle();
    EXPECT_EQ(outcome, "signedIn");
    browser->watchers.back()("xdg-open exited with status 5");
    loop->runUntilIdle();
    EXPECT_EQ(outcome, "signedIn") << "an answered sign-in hears nothing more";
    testing::internal::GetCapturedStderr();
}

TEST_F(AuthSessionTest, WithoutAnAddressThereIsNothingToSignInTo) {
    keychain = std::make_shared<desktop::MemoryKeychain>("refresh");
    AuthSession::Dependencies dependencies;
    dependencies.mainThread = loop;
    dependencies.keychain = keychain;
    dependencies.browser = browser;
    dependencies.notifications = notifications;
    EXPECT_EQ(dependencies.baseURL, AuthSession::baseURL()) << "the build's address is the default";
    dependencies.baseURL.reset();
    auto session = AuthSession::create(std::move(dependencies));
    EXPECT_FALSE(session->signInExists());

    startSignIn(*session);
    loop->runUntilIdle();
    EXPECT_EQ(outcome, "message: ログインサービスがありません");
    EXPECT_FALSE(session->isSigningIn());
    EXPECT_TRUE(browser->opened.empty());
    try {
        session->fetchAccessToken();
        ADD_FAILURE() << "no token without a service";
    } catch (const AuthError& error) {
        EXPECT_EQ(error.kind(), AuthError::Kind::notSignedIn);
    }
    EXPECT_EQ(tokenRequests(), 0);
    EXPECT_TRUE(session->isSignedIn().value()) << "the stored token is kept for a build that has a service";

    EXPECT_TRUE(makeSession()->signInExists()) << "an address handed in makes a sign-in";
}

TEST_F(AuthSessionTest, AKeychainThatKeepsNothingLeavesTheUserSignedInForThisRunWithOneWarning) {
    auto session = makeSession();
    keychain->setRefusesWrites(true);
    startSignIn(*session);
    testing::internal::CaptureStderr();
    session->handleCallbackURL("velmora://auth?token=secret-refresh-token");
    const std::string warnings = testing::internal::GetCapturedStderr();
    loop->runUntilIdle();
    EXPECT_EQ(outcome, "signedIn");
    EXPECT_TRUE(session->isSignedIn().value());
    EXPECT_NE(warnings.find("gnome-keyring"), std::string::npos) << warnings;
    EXPECT_EQ(std::count(warnings.begin(), warnings.end(), '\n'), 1) << warnings;
    EXPECT_EQ(warnings.find("secret-refresh-token"), std::string::npos) << "no token in the log";

    // The next start finds nothing: signed out.
    EXPECT_FALSE(makeSession()->isSignedIn().value());
}

TEST_F(AuthSessionTest, StartUpReadsTheKeychainAndSignOutForgetsEverythingButARunningSignIn) {
    auto session = makeSession(std::string("stored"));
    EXPECT_TRUE(session->isSignedIn().value());
    answerToken(authtest::jwt(R"({"exp":1900000000})"));
    EXPECT_NO_THROW(session->fetchAccessToken());

    startSignIn(*session);
    session->signOut();
    EXPECT_FALSE(session->isSignedIn().value());
    EXPECT_EQ(keychain->load(), std::nullopt);
    EXPECT_TRUE(session->isSigningIn());
    EXPECT_THROW(session->fetchAccessToken(), AuthError) << "the cached access token went with the sign-out";
    EXPECT_EQ(tokenRequests(), 1);
}

TEST_F(AuthSessionTest, TheAccessTokenIsAskedForWithTheRefreshTokenAndCachedWhileItLastsMoreThanAMinute) {
    auto session = makeSession(std::string("refresh-1"));
    const std::string token = authtest::jwt(R"({"exp":1800000061})"); // now + 61 s
    answerToken(token);
    EXPECT_EQ(session->fetchAccessToken(), token);
    ASSERT_EQ(tokenRequests(), 1);
    const auto request = hub.requests()[0];
    EXPECT_EQ(request.method, "GET");
    EXPECT_EQ(request.target, "/api/auth/token");
    EXPECT_EQ(request.header("Authorization"), "Bearer refresh-1");

    EXPECT_EQ(session->fetchAccessToken(), token);
    EXPECT_EQ(tokenRequests(), 1) << "61 seconds left: the cached token";

    now += std::chrono::duration<double>(1.0); // exactly 60 seconds left: too little
    const std::string next = authtest::jwt(R"({"exp":1900000000.5})");
    answerToken(next);
    EXPECT_EQ(session->fetchAccessToken(), next);
    EXPECT_EQ(tokenRequests(), 2);

    // A completed sign-in drops the cache.
    startSignIn(*session);
    session->handleCallbackURL("velmora://auth?token=refresh-2");
    answerToken(next);
    EXPECT_EQ(session->fetchAccessToken(), next);
    EXPECT_EQ(hub.requests().back().header("Authorization"), "Bearer refresh-2");
    EXPECT_EQ(tokenRequests(), 3);
}

TEST_F(AuthSessionTest, TokensWithoutAReadableExpiryAreFetchedOnEveryCall) {
    auto session = makeSession(std::string("refresh"));
    const std::string stringExp = authtest::jwt(R"({"exp":"1900000000"})");
    const std::string twoPieces = "header." + authtest::base64Url(R"({"exp":1900000000})");
    for (const std::string& token : {stringExp, stringExp, twoPieces, twoPieces}) {
        answerToken(token);
        EXPECT_EQ(session->fetchAccessToken(), token);
    }
    EXPECT_EQ(tokenRequests(), 4);
}

TEST_F(AuthSessionTest, A401DeletesTheRefreshTokenAndSignsOut) {
    auto session = makeSession(std::string("revoked"));
    hub.addFault(FakeHub::Fault::on("/api/auth/token").answer(401).limit(1));
    try {
        session->fetchAccessToken();
        FAIL() << "a 401 must fail";
    } catch (const AuthError& error) {
        EXPECT_EQ(error.kind(), AuthError::Kind::message);
        EXPECT_EQ(error.description(), fetchFailed);
    }
    EXPECT_FALSE(session->isSignedIn().value());
    EXPECT_EQ(keychain->load(), std::nullopt);
    try {
        session->fetchAccessToken();
        FAIL() << "signed out";
    } catch (const AuthError& error) {
        EXPECT_EQ(error.kind(), AuthError::Kind::notSignedIn);
        EXPECT_EQ(error.description(), "ログインしていません");
    }
    EXPECT_EQ(tokenRequests(), 1) << "no request without a refresh token";
}

TEST_F(AuthSessionTest, OtherStatusesAndBrokenAnswersFailWithoutChangingTheState) {
    auto session = makeSession(std::string("refresh-secret"));
    for (int status : {500, 403, 204}) {
        hub.addFault(
            FakeHub::Fault::on("/api/auth/token").answer(status).withBody(R"({"token":"x"})").limit(1));
        try {
            session->fetchAccessToken();
            FAIL() << status;
        } catch (const AuthError& error) {
            EXPECT_EQ(error.description(), fetchFailed) << status;
        }
    }
    for (const auto& [body, kind] : std::vector<std::pair<std::string, orvane::DecodingError::Kind>>{
             {"refresh-secret access-secret", orvane::DecodingError::Kind::dataCorrupted},
             {R"({"access":"access-secret"})", orvane::DecodingError::Kind::keyNotFound},
             {R"({"token":12})", orvane::DecodingError::Kind::typeMismatch}}) {
        hub.addFault(FakeHub::Fault::on("/api/auth/token").withBody(body).limit(1));
        try {
            session->fetchAccessToken();
            FAIL() << body;
        } catch (const orvane::DecodingError& error) {
            EXPECT_EQ(error.kind(), kind) << body;
            EXPECT_EQ(std::string(error.what()).find("secret"), std::string::npos) << error.what();
            EXPECT_EQ(error.debugDescription().find("secret"), std::string::npos) << error.debugDescription();
        }
    }
    EXPECT_TRUE(session->isSignedIn().value());
    EXPECT_EQ(keychain->load(), "refresh-secret");
    EXPECT_EQ(keychain->removeCount(), 0);
}

TEST_F(AuthSessionTest, TransportFailuresComeUpAsTheHttpLayersErrors) {
    int closedPort = 0;
    {
        FakeHub gone;
        closedPort = gone.port();
    }
    auto session =
        makeSession(std::string("refresh-secret"), "http://127.0.0.1:" + std::to_string(closedPort) + "/");
    try {
        session->fetchAccessToken();
        FAIL() << "nothing listens there";
    } catch (const net::UrlError& error) {
        EXPECT_EQ(error.code(), net::UrlError::Code::cannotConnectToHost);
        EXPECT_EQ(std::string(error.what()).find("refresh-secret"), std::string::npos);
    }
    EXPECT_TRUE(session->isSignedIn().value());
    EXPECT_EQ(keychain->load(), "refresh-secret");
}

TEST_F(AuthSessionTest, AFetchOnAnotherThreadChangesThePublishedStateOnTheMainThread) {
    auto session = makeSession(std::string("revoked"));
    hub.addFault(FakeHub::Fault::on("/api/auth/token").answer(401).limit(1));
    std::thread([&] { EXPECT_THROW(session->fetchAccessToken(), AuthError); }).join();
    EXPECT_TRUE(session->isSignedIn().value()) << "not yet: only the main thread changes it";
    loop->runUntilIdle();
    EXPECT_FALSE(session->isSignedIn().value());
}
