#include "AuthTestSupport.h"
#include "Platform/Desktop/Keychain/MemoryKeychain.h"
#include "Platform/Desktop/UrlHandling/XdgBrowserOpener.h"
#include "Support/Desktop/DesktopSandbox.h"
#include "VelmoraCore/Auth/AuthSession.h"
#include "VelmoraCore/Auth/CallbackSchemeRegistration.h"
#include "VelmoraCore/ErrorText.h"
#include "VelmoraCore/PlainMainLoop.h"

#include <gtest/gtest.h>
#include <thread>

using namespace velmora;

// The whole road with the desktop's own programs: the browser (a script standing in for the service)
// opens the callback address with xdg-open, the desktop starts the program named in the written entry
// (a second instance, which records the address where the running one reads it), and the running
// instance hands it to the session.
TEST(SignInThroughTheDesktop, TheServicesAnswerReachesTheRunningInstanceThroughTheDesktopEntry) {
    testsupport::DesktopSandbox desktop("xdg-open 'velmora://auth?token=from%2Fthe-service'");
    const auto handed = desktop.root() / "handed";
    const auto secondInstance =
        desktop.script("velmora", "printf '%s\\n' \"$@\" >> " + testsupport::shellQuoted(handed.string()));
    ASSERT_TRUE(registerCallbackScheme(secondInstance).isDefaultHandler);
    EXPECT_NE(testsupport::readFile(desktop.dataHome() / "applications/velmora.desktop")
                  .find("MimeType=x-scheme-handler/velmora;\n"),
              std::string::npos);

    auto loop = std::make_shared<PlainMainLoop>(PlainMainLoop::Clock::manual);
    auto keychain = std::make_shared<desktop::MemoryKeychain>();
    AuthSession::Dependencies dependencies;
    dependencies.mainThread = loop;
    dependencies.keychain = keychain;
    dependencies.browser = std::make_shared<desktop::XdgBrowserOpener>();
    dependencies.notifications = std::make_shared<authtest::RecordingNotifications>();
    dependencies.baseURL = *net::Url::parse("https://service.example/");
    auto session = AuthSession::create(std::move(dependencies));

    std::optional<bool> completed;
    session->signIn([&](std::exception_ptr error) { completed = !error; });
    EXPECT_EQ(desktop.waitForLines(testsupport::DesktopSandbox::browserLog, 1),
              std::vector<std::string>{"https://service.example/native/callback"});
    const auto addresses = desktop.waitForLines("handed", 1);
    ASSERT_EQ(addresses, std::vector<std::string>{"velmora://auth?token=from%2Fthe-service"});

    session->handleCallbackURL(addresses[0]);
    loop->runUntilIdle();
    EXPECT_EQ(completed, true);
    EXPECT_TRUE(session->isSignedIn().value());
    EXPECT_EQ(keychain->load(), "from/the-service");
}

// A desktop whose browser cannot show the page: xdg-open gives up, and the waiting sign-in ends at
// once with its reason instead of waiting minutes for a window that never opened.
TEST(SignInThroughTheDesktop, ABrowserThatFailsEndsTheSignInAtOnce) {
    testsupport::DesktopSandbox desktop("exit 1");
    auto loop = std::make_shared<PlainMainLoop>(PlainMainLoop::Clock::manual);
    AuthSession::Dependencies dependencies;
    dependencies.mainThread = loop;
    dependencies.keychain = std::make_shared<desktop::MemoryKeychain>();
    dependencies.browser = std::make_shared<desktop::XdgBrowserOpener>();
    dependencies.notifications = std::make_shared<authtest::RecordingNotifications>();
    dependencies.baseURL = *net::Url::parse("https://service.example/");
    auto session = AuthSession::create(std::move(dependencies));

    testing::internal::CaptureStderr();
    std::optional<std::string> failure;
    session->signIn([&](std::exception_ptr error) { failure = error ? errorDescription(error) : "signedIn"; });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!failure && std::chrono::steady_clock::now() < deadline) {
        loop->runUntilIdle();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    testing::internal::GetCapturedStderr();
    ASSERT_TRUE(failure.has_value()) << "the sign-in still waits";
    EXPECT_EQ(failure->rfind("ブラウザを開けませんでした: xdg-open exited with status ", 0), 0u) << *failure;
    EXPECT_FALSE(session->isSigningIn());
    const auto tried = desktop.waitForLines(testsupport::DesktopSandbox::browserLog, 1);
    ASSERT_FALSE(tried.empty());
    EXPECT_EQ(tried.front(), "https://service.example/native/callback") << "xdg-open may try the browser twice";
}

TEST(SignInThroughTheDesktop, ARegistrationThatCannotBeWrittenIsOneWarning) {
    testsupport::DesktopSandbox desktop;
    testsupport::writeFile(desktop.dataHome() / "applications", "a file where the folder should be");
    testing::internal::CaptureStderr();
    const auto outcome = registerCallbackScheme("/opt/velmora/bin/velmora");
    const std::string warnings = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(outcome.entryWritten);
    EXPECT_FALSE(outcome.isDefaultHandler);
    EXPECT_EQ(std::count(warnings.begin(), warnings.end(), '\n'), 1) << warnings;
    EXPECT_NE(warnings.find("velmora.desktop"), std::string::npos) << warnings;
}
