#include "Platform/Desktop/UrlHandling/UrlSchemeRegistration.h"
#include "Platform/Desktop/UrlHandling/XdgBrowserOpener.h"
#include "Support/Desktop/DesktopSandbox.h"
#include "Support/ScopedEnvironment.h"
#include "Support/TestSupport.h"

#include <atomic>
#include <cstdlib>
#include <future>
#include <gtest/gtest.h>
#include <memory>
#include <thread>

namespace fs = std::filesystem;
using desktop::UrlSchemeRegistration;

namespace {

UrlSchemeRegistration velmoraScheme() {
    return UrlSchemeRegistration("velmora", "velmora", "ベルモラ");
}

std::string defaultHandler() {
    std::string answer;
    testsupport::runCommand("xdg-mime query default x-scheme-handler/velmora 2>/dev/null", &answer);
    return answer;
}

} // namespace

TEST(UrlSchemeRegistration, ExecArgumentsAreQuotedAndEscapedOnlyWhereTheRulesAsk) {
    EXPECT_EQ(UrlSchemeRegistration::execArgument("/opt/velmora/bin/velmora"), "/opt/velmora/bin/velmora");
    EXPECT_EQ(UrlSchemeRegistration::execArgument("/home/a b/velmora"), "\"/home/a b/velmora\"");
    EXPECT_EQ(UrlSchemeRegistration::execArgument("/x/$HOME\"`\\y"), "\"/x/\\$HOME\\\"\\`\\\\y\"");
    EXPECT_EQ(UrlSchemeRegistration::execArgument("/x/100%/v"), "/x/100%%/v");

    // The value escapes come on top of the quoting: a backslash inside quotes is written four times.
    const std::string entry = velmoraScheme().desktopEntry("/a b/back\\slash/velmora");
    EXPECT_EQ(entry, "[Desktop Entry]\n"
                     "Type=Application\n"
                     "Name=ベルモラ\n"
                     "Exec=\"/a b/back\\\\\\\\slash/velmora\" %u\n"
                     "MimeType=x-scheme-handler/velmora;\n"
                     "NoDisplay=true\n"
                     "Terminal=false\n");
}

TEST(UrlSchemeRegistration, TheEntryGoesToTheDataHomeWhenItIsAbsoluteElseUnderHome) {
    testsupport::ScopedEnvironment environment;
    environment.set("HOME", "/home/someone");
    environment.set("XDG_DATA_HOME", "/data/home");
    EXPECT_EQ(UrlSchemeRegistration::applicationsDirectory(), fs::path("/data/home/applications"));
    environment.set("XDG_DATA_HOME", "relative/data");
    EXPECT_EQ(UrlSchemeRegistration::applicationsDirectory(),
              fs::path("/home/someone/.local/share/applications"));
    EXPECT_EQ(velmoraScheme().entryPath(),
              fs::path("/home/someone/.local/share/applications/velmora.desktop"));
}

TEST(UrlSchemeRegistration, TheEntryIsWrittenAndRegisteredOnceAndRewrittenWhenTheProgramMoves) {
    testsupport::DesktopSandbox desktop;
    const auto registration = velmoraScheme();

    auto first = registration.ensureRegistered("/first/velmora");
    EXPECT_TRUE(first.entryWritten);
    EXPECT_TRUE(first.isDefaultHandler) << first.problem;
    EXPECT_EQ(testsupport::readFile(desktop.dataHome() / "applications/velmora.desktop"),
              registration.desktopEntry("/first/velmora"));
    EXPECT_EQ(defaultHandler(), "velmora.desktop\n");

    auto again = registration.ensureRegistered("/first/velmora");
    EXPECT_FALSE(again.entryWritten);
    EXPECT_TRUE(again.isDefaultHandler);

    // Another handler chosen meanwhile: registered again, the unchanged entry left as it is.
    ASSERT_EQ(testsupport::runCommand("xdg-mime default other.desktop x-scheme-handler/velmora"), 0);
    auto reclaimed = registration.ensureRegistered("/first/velmora");
    EXPECT_FALSE(reclaimed.entryWritten);
    EXPECT_TRUE(reclaimed.isDefaultHandler);
    EXPECT_EQ(defaultHandler(), "velmora.desktop\n");

    auto moved = registration.ensureRegistered("/moved/velmora");
    EXPECT_TRUE(moved.entryWritten);
    EXPECT_NE(testsupport::readFile(registration.entryPath()).find("Exec=/moved/velmora %u\n"),
              std::string::npos);
    EXPECT_EQ(std::distance(fs::directory_iterator(registration.entryPath().parent_path()),
                            fs::directory_iterator()),
              1)
        << "no temporary file is left beside the entry";
}

TEST(UrlSchemeRegistration, XdgOpenHandsAVelmoraAddressToTheRegisteredProgram) {
    testsupport::DesktopSandbox desktop;
    const fs::path program =
        desktop.script("velmora", "printf '%s\\n' \"$@\" >> " +
                                      testsupport::shellQuoted((desktop.root() / "handed").string()));
    ASSERT_TRUE(velmoraScheme().ensureRegistered(program).isDefaultHandler);

    desktop::XdgBrowserOpener opener;
    ASSERT_TRUE(opener.open("velmora://auth?token=abc%2Bdef&x=1"));
    EXPECT_EQ(desktop.waitForLines("handed", 1),
              std::vector<std::string>{"velmora://auth?token=abc%2Bdef&x=1"})
        << "the address is the program's one argument, unchanged";

    // Other addresses still go to the browser.
    ASSERT_TRUE(opener.open("https://example.invalid/native/callback"));
    EXPECT_EQ(desktop.waitForLines(testsupport::DesktopSandbox::browserLog, 1),
              std::vector<std::string>{"https://example.invalid/native/callback"});
}

TEST(XdgBrowserOpener, AMissingOpenerProgramIsReported) {
    testsupport::ScopedEnvironment environment;
    environment.set("PATH", "/nonexistent");
    desktop::XdgBrowserOpener opener;
    EXPECT_FALSE(opener.open("https://example.invalid/"));

    std::vector<std::string> reasons;
    EXPECT_FALSE(opener.openWatched("https://example.invalid/",
                                    [&](const std::string& reason) { reasons.push_back(reason); }));
    ASSERT_EQ(reasons.size(), 1u) << "told before the call returns";
    EXPECT_NE(reasons[0].find("xdg-open"), std::string::npos) << reasons[0];
}

TEST(XdgBrowserOpener, AnOpenerThatEndsUnsuccessfullyIsReportedFromItsOwnThread) {
    testsupport::DesktopSandbox desktop;
    testsupport::ScopedEnvironment environment;
    environment.set("PATH", desktop.root().string() + ":" + std::getenv("PATH"));
    desktop::XdgBrowserOpener opener;
    auto heard = [&](const std::string& body) {
        desktop.script("xdg-open", body);
        auto promise = std::make_shared<std::promise<std::string>>();
        auto future = promise->get_future();
        EXPECT_TRUE(opener.openWatched("https://example.invalid/", [promise](const std::string& reason) {
            promise->set_value(reason);
        }));
        return future.wait_for(std::chrono::seconds(30)) == std::future_status::ready ? future.get()
                                                                                       : std::string("nothing");
    };
    EXPECT_EQ(heard("exit 3"), "xdg-open exited with status 3") << "no browser found";
    EXPECT_EQ(heard("kill -TERM $$"), "xdg-open was ended by signal SIGTERM");
}

TEST(XdgBrowserOpener, ASuccessOrAFailureAfterTheWatchTimeIsNotReported) {
    testsupport::DesktopSandbox desktop;
    testsupport::ScopedEnvironment environment;
    environment.set("PATH", desktop.root().string() + ":" + std::getenv("PATH"));
    desktop::XdgBrowserOpener opener(std::chrono::seconds(2));
    // The watcher thread owns the handler until xdg-open has ended and been judged: the token it holds
    // goes when that is done.
    auto reported = [&](const std::string& body) {
        desktop.script("xdg-open", body);
        auto told = std::make_shared<std::atomic<bool>>(false);
        auto token = std::make_shared<int>(0);
        std::weak_ptr<int> watching = token;
        EXPECT_TRUE(opener.openWatched("https://example.invalid/",
                                       [told, token](const std::string&) { *told = true; }));
        token.reset();
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!watching.expired() && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        EXPECT_TRUE(watching.expired()) << "xdg-open was never reaped";
        return told->load();
    };
    EXPECT_FALSE(reported("exit 0")) << "a page that was shown";
    EXPECT_FALSE(reported("sleep 3; exit 3")) << "after the watch time it is the browser ending";
    EXPECT_TRUE(reported("exit 3"));
}
