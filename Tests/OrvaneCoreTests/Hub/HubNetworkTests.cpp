#include "OrvaneCore/External/Hub/Client/HubApi.h"
#include "OrvaneCore/External/Hub/Network/RedirectDelegate.h"
#include "OrvaneCore/System/FileManager.h"
#include "Support/ScopedEnvironment.h"
#include "Support/TestSupport.h"

#include <algorithm>
#include <gtest/gtest.h>

using orvane::HubApi;
using orvane::RedirectDelegate;

TEST(HubNetworkState, OfflineExactlyWhenTheLastPathWasUnsatisfied) {
    testsupport::ScopedEnvironment environment;
    environment.unset("CI_DISABLE_NETWORK_MONITOR");
    HubApi::NetworkStateActor state;
    EXPECT_FALSE(state.shouldUseOfflineMode()); // connected until told otherwise
    state.update({false, false, false});
    EXPECT_TRUE(state.shouldUseOfflineMode());
    state.update({true, true, true}); // expensive and constrained paths still count as online
    EXPECT_FALSE(state.shouldUseOfflineMode());
    EXPECT_TRUE(state.isExpensive());

    state.update({false, false, false});
    environment.set("CI_DISABLE_NETWORK_MONITOR", "1");
    EXPECT_FALSE(state.shouldUseOfflineMode());
    for (const char* value : {"01", "1 ", "true", ""}) {
        environment.set("CI_DISABLE_NETWORK_MONITOR", value);
        EXPECT_TRUE(state.shouldUseOfflineMode()) << '"' << value << '"';
    }
}

TEST(HubNetworkState, TheSharedMonitorFeedsReportsIntoItsState) {
    testsupport::ScopedEnvironment environment;
    environment.unset("CI_DISABLE_NETWORK_MONITOR");
    HubApi api(std::filesystem::temp_directory_path(), std::string(""));
    auto& monitor = HubApi::NetworkMonitor::shared();
    monitor.injectPathForTesting({false, false, false});
    EXPECT_TRUE(monitor.state().shouldUseOfflineMode());
    HubApi again(std::filesystem::temp_directory_path(), std::string("")); // restarting keeps the state
    EXPECT_TRUE(monitor.state().shouldUseOfflineMode());
    monitor.injectPathForTesting({true, false, false});
    EXPECT_FALSE(monitor.state().shouldUseOfflineMode());
}

namespace {
net::HttpResponse redirectTo(int status, std::optional<std::string> location) {
    net::HttpResponse response;
    response.statusCode = status;
    if (location) {
        response.headers.set("Location", *location);
    }
    return response;
}
} // namespace

TEST(HubRedirects, OnlyHostlessLocationsAreFollowedOnTheSameServer) {
    net::HttpRequest original(*net::Url::parse("https://hub.example:8443/a/b?keep=no"), "HEAD");
    original.headers.set("Authorization", "Bearer t");
    original.headers.set("Accept-Encoding", "identity");

    auto next = RedirectDelegate::decide(redirectTo(307, "/x/y?z=1"), original);
    ASSERT_TRUE(next);
    EXPECT_EQ(next->url.absoluteString(), "https://hub.example:8443/x/y?z=1");
    EXPECT_EQ(next->method, "HEAD");
    EXPECT_EQ(next->timeout, std::chrono::seconds(60));
    EXPECT_EQ(next->headers.value("authorization"), "Bearer t");
    EXPECT_EQ(next->headers.value("Accept-Encoding"), "identity");
    EXPECT_EQ(next->headers.value("Location"), "https://hub.example:8443/x/y?z=1");

    auto withoutQuery = RedirectDelegate::decide(redirectTo(300, "/plain"), original);
    ASSERT_TRUE(withoutQuery);
    EXPECT_EQ(withoutQuery->url.absoluteString(), "https://hub.example:8443/plain");
    EXPECT_TRUE(RedirectDelegate::decide(redirectTo(399, "/p"), original));

    for (auto [status, location] :
         std::vector<std::pair<int, std::optional<std::string>>>{{302, "https://other.example/x"},
                                                                 {302, "//other.example/x"},
                                                                 {302, std::nullopt},
                                                                 {302, "not a url"},
                                                                 {302, "relative/path"},
                                                                 {299, "/x"},
                                                                 {400, "/x"}}) {
        EXPECT_FALSE(RedirectDelegate::decide(redirectTo(status, location), original))
            << status << " " << location.value_or("(none)");
    }
}

TEST(HubRedirects, OneSessionServesEveryProbe) {
    EXPECT_EQ(&HubApi::redirectSession().get(), &HubApi::redirectSession().get());
}

TEST(HubLocalFiles, ListingSkipsHiddenEntriesAndWhatTheyHold) {
    testsupport::TemporaryDirectory folder;
    testsupport::writeFile(folder / "visible.txt", "a");
    testsupport::writeFile(folder / ".hidden", "b");
    testsupport::writeFile(folder / "sub/inner.bin", "c");
    testsupport::writeFile(folder / ".cache/huggingface/download/visible.txt.metadata", "d");
    std::filesystem::create_directories(folder / "empty");
    std::filesystem::create_symlink(folder / "visible.txt", folder / "link.txt");

    auto files = orvane::FileManager::getFileUrls(folder.path());
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, (std::vector<std::filesystem::path>{folder / "sub/inner.bin", folder / "visible.txt"}));
    EXPECT_TRUE(orvane::FileManager::getFileUrls(folder / "does-not-exist").empty());
}
