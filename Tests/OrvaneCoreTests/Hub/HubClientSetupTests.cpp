#include "OrvaneCore/External/Hub/Client/HubApi.h"
#include "OrvaneCoreTests/Hub/HubTestSupport.h"

using orvane::HubApi;

namespace {

class HubSetup : public HubTest {
protected:
    // The "Authorization" header the fake hub received for a listing made with `api`.
    std::optional<std::string> sentAuthorization(const HubApi& api) {
        hub.clearRequests();
        api.getFilenames(HubApi::Repo{"owner/name"});
        return hub.requests().back().header("Authorization");
    }
};

} // namespace

TEST_F(HubSetup, TokenSearchTakesTheFirstNonEmptySourceInOrder) {
    testsupport::writeFile(home / ".huggingface/token", "from-legacy-file");
    EXPECT_EQ(HubApi().hfToken, "from-legacy-file");
    testsupport::writeFile(home / ".cache/huggingface/token", "from-cache-file\n");
    EXPECT_EQ(HubApi().hfToken, "from-cache-file\n"); // verbatim, line break included
    testsupport::writeFile(home / "hf/token", "from-hf-home");
    environment.set("HF_HOME", "~/hf");
    EXPECT_EQ(HubApi().hfToken, "from-hf-home");
    testsupport::writeFile(home / "my-token", "from-token-path");
    environment.set("HF_TOKEN_PATH", "~/my-token");
    EXPECT_EQ(HubApi().hfToken, "from-token-path");
    environment.set("HUGGING_FACE_HUB_TOKEN", "from-second-variable");
    environment.set("HF_TOKEN", "");
    EXPECT_EQ(HubApi().hfToken, "from-second-variable"); // an empty variable is passed over
    environment.set("HF_TOKEN", "from-first-variable");
    EXPECT_EQ(HubApi().hfToken, "from-first-variable");
    EXPECT_EQ(HubApi(std::nullopt, std::string("")).hfToken, ""); // an argument wins, even empty
}

TEST_F(HubSetup, UnusableTokenSourcesArePassedOver) {
    environment.set("HF_TOKEN_PATH", (home / "missing").string());
    testsupport::writeFile(home / "hf/token", "");
    environment.set("HF_HOME", (home / "hf").string());
    testsupport::writeFile(home / ".cache/huggingface/token", "\xff\xfe not UTF-8");
    EXPECT_FALSE(HubApi().hfToken);
    testsupport::writeFile(home / ".huggingface/token", "last");
    EXPECT_EQ(HubApi().hfToken, "last");
}

TEST_F(HubSetup, TheHeaderCarriesTheTrimmedTokenAndNeverALineBreak) {
    EXPECT_FALSE(sentAuthorization(HubApi(home.path(), std::string(""), hub.endpoint())));
    EXPECT_FALSE(sentAuthorization(HubApi(home.path(), std::nullopt, hub.endpoint())));
    EXPECT_EQ(sentAuthorization(HubApi(home.path(), std::string("abc"), hub.endpoint())), "Bearer abc");

    testsupport::writeFile(home / ".cache/huggingface/token", " abc\r\n");
    HubApi fromFile(home.path(), std::nullopt, hub.endpoint());
    EXPECT_EQ(fromFile.hfToken, " abc\r\n");
    EXPECT_EQ(sentAuthorization(fromFile), "Bearer abc");

    // A token that would end the header line early is not sent at all.
    EXPECT_FALSE(sentAuthorization(HubApi(home.path(), std::string("abc\r\nX-Injected: 1"), hub.endpoint())));
    EXPECT_FALSE(hub.requests().back().header("X-Injected"));
    EXPECT_FALSE(HubApi::authorizationHeader(std::string("a\nb")));
    EXPECT_FALSE(HubApi::authorizationHeader(std::string(" \t\n")));
}

TEST_F(HubSetup, TokenLinesArePrintedOnlyWhenTheMonitorIsDisabledForCi) {
    testing::internal::CaptureStdout();
    HubApi quiet;
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    environment.set("CI_DISABLE_NETWORK_MONITOR", "1");
    testing::internal::CaptureStdout();
    HubApi withoutToken;
    HubApi withEmptyToken(std::nullopt, std::string(""));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "\U0001F534 NO TOKEN **\n\u2705 got token\n");
    environment.set("CI_DISABLE_NETWORK_MONITOR", "true");
    testing::internal::CaptureStdout();
    HubApi other;
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

TEST_F(HubSetup, DefaultsForTheMirrorAndTheEndpoint) {
    HubApi defaults;
    EXPECT_EQ(defaults.downloadBase, home.path() / "Documents/huggingface");
    EXPECT_EQ(defaults.endpoint, "https://huggingface.co");
    EXPECT_FALSE(defaults.useOfflineMode);
    environment.set("HF_ENDPOINT", hub.endpoint());
    EXPECT_EQ(HubApi().endpoint, hub.endpoint());
    EXPECT_EQ(HubApi(std::nullopt, std::nullopt, std::string("http://given")).endpoint, "http://given");

    HubApi api(home.path() / "base");
    HubApi::Repo dataset{"owner/name", HubApi::RepoType::datasets};
    EXPECT_EQ(api.localRepoLocation(dataset), home.path() / "base/datasets/owner/name");
    EXPECT_EQ(api.metadataFolder(HubApi::Repo{"solo"}),
              home.path() / "base/models/solo/.cache/huggingface/download");
}
