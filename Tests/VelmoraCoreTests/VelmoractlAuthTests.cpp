#include "AuthTestSupport.h"
#include "Support/Network/FakeHub.h"
#include "Support/Desktop/SessionBusTest.h"
#include "Support/TestSupport.h"

#include <gtest/gtest.h>

using testsupport::FakeHub;
using testsupport::shellQuoted;

namespace {

struct ToolRun {
    int status;
    std::string output;
};

ToolRun velmoractl(const std::string& arguments, const std::string& environment = "") {
    ToolRun run{};
    run.status = testsupport::runCommand(environment + " " +
                                             shellQuoted(testsupport::toolPath("velmoractl").string()) + " " +
                                             arguments + " 2>/dev/null",
                                         &run.output);
    return run;
}

class VelmoractlAuth : public testsupport::SessionBusTest {
protected:
    VelmoractlAuth() : SessionBusTest({"velmora-refresh-token"}) {}

    static std::string stored() {
        std::string token;
        return secretTool("lookup service velmora-refresh-token account default", &token) == 0 ? token
                                                                                               : "(none)";
    }
};

} // namespace

TEST_F(VelmoractlAuth, KeychainCommandsKeepOneItemInTheSecretStore) {
    EXPECT_EQ(velmoractl("keychain load").output, "{\"token\":null}\n");
    EXPECT_EQ(velmoractl("keychain save first").output, "{\"token\":\"first\"}\n");
    EXPECT_EQ(velmoractl("keychain save 'second \"quoted\" トークン'").output,
              "{\"token\":\"second \\\"quoted\\\" トークン\"}\n");
    EXPECT_EQ(stored(), "second \"quoted\" トークン");
    EXPECT_EQ(itemCount("service velmora-refresh-token account default"), 1);
    EXPECT_NE(itemListing("service velmora-refresh-token").find("label = velmora-refresh-token\n"),
              std::string::npos);
    EXPECT_EQ(velmoractl("keychain delete").output, "{\"token\":null}\n");
    EXPECT_EQ(stored(), "(none)");
    for (const char* bad : {"keychain", "keychain save", "keychain load extra", "keychain wipe"}) {
        EXPECT_EQ(velmoractl(bad).status, 2) << bad;
    }
}

TEST_F(VelmoractlAuth, CallbackHandsEachAddressToTheSignInInOrder) {
    EXPECT_EQ(velmoractl("auth callback 'https://auth?token=x' 'velmora://other?token=y'").output,
              "{\"result\":\"pending\",\"error\":null,\"isSignedIn\":false}\n");
    EXPECT_EQ(velmoractl("auth callback 'velmora://auth?state=1'").output,
              "{\"result\":\"failed\",\"error\":\"コールバックにトークンが含まれていません\",\"isSignedIn\":"
              "false}\n");
    EXPECT_EQ(stored(), "(none)");
    EXPECT_EQ(velmoractl("auth callback --no-pending 'velmora://auth?token=unasked'").output,
              "{\"result\":null,\"error\":null,\"isSignedIn\":false}\n");
    EXPECT_EQ(stored(), "(none)");

    // The first usable answer wins; the later one finds nothing waiting.
    EXPECT_EQ(velmoractl("auth callback 'VELMORA://auth?token=upper' 'velmora://x/callback?token=one' "
                         "'velmora://auth?token=two'")
                  .output,
              "{\"result\":\"signedIn\",\"error\":null,\"isSignedIn\":true}\n");
    EXPECT_EQ(stored(), "one");

    EXPECT_EQ(velmoractl("auth sign-out").output, "{\"isSignedIn\":false}\n");
    EXPECT_EQ(stored(), "(none)");
    EXPECT_EQ(velmoractl("auth callback").status, 2);
}

TEST_F(VelmoractlAuth, FetchPrintsALinePerCallAndA401SignsOut) {
    FakeHub service;
    const std::string base = "--base " + service.endpoint() + "/";
    EXPECT_EQ(velmoractl("auth fetch " + base).output,
              "{\"error\":\"ログインしていません\",\"isSignedIn\":false}\n");
    EXPECT_EQ(velmoractl("auth fetch " + base).status, 1);

    ASSERT_EQ(velmoractl("keychain save refresh-1").status, 0);
    const std::string token = authtest::jwt(R"({"exp":4102444800})"); // 2100
    service.addFault(
        FakeHub::Fault::on("/api/auth/token").withBody("{\"token\":\"" + token + "\"}").limit(1));
    const ToolRun twice = velmoractl("auth fetch " + base + " --times 2");
    const std::string line = "{\"token\":\"" + token + "\",\"isSignedIn\":true}\n";
    EXPECT_EQ(twice.output, line + line);
    EXPECT_EQ(twice.status, 0);
    ASSERT_EQ(service.requests().size(), 1u) << "the second call is served from the cache";
    EXPECT_EQ(service.requests()[0].header("Authorization"), "Bearer refresh-1");

    service.addFault(FakeHub::Fault::on("/api/auth/token").answer(401).limit(1));
    const ToolRun refused = velmoractl("auth fetch " + base + " --times 2");
    EXPECT_EQ(refused.output, "{\"error\":\"アクセストークンの取得に失敗しました\",\"isSignedIn\":false}\n"
                              "{\"error\":\"ログインしていません\",\"isSignedIn\":false}\n");
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(stored(), "(none)");

    for (const char* bad :
         {"auth fetch", "auth fetch --base nowhere", "auth fetch --base http://h/ --times 0"}) {
        EXPECT_EQ(velmoractl(bad).status, 2) << bad;
    }
}

TEST(VelmoractlAuthTool, JwtExpiryPrintsSecondsOrNone) {
    EXPECT_EQ(velmoractl("auth jwt-exp " + authtest::jwt(R"({"exp":1700000000.5})")).output,
              "1700000000.5\n");
    EXPECT_EQ(velmoractl("auth jwt-exp " + authtest::jwt(R"({"exp":"soon"})")).output, "none\n");
    EXPECT_EQ(velmoractl("auth jwt-exp a.b").output, "none\n");
    EXPECT_EQ(velmoractl("auth jwt-exp").status, 2);
}

TEST(VelmoractlAuthTool, WithoutASecretStoreNothingIsKeptAndNothingFails) {
    // A bus address nobody listens on: never the user's own secret store.
    const std::string noBus = "DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent/velmora-bus";
    const ToolRun saved = velmoractl("keychain save token", noBus);
    EXPECT_EQ(saved.status, 0);
    EXPECT_EQ(saved.output, "{\"token\":null}\n");

    std::string warnings;
    testsupport::runCommand(noBus + " " + shellQuoted(testsupport::toolPath("velmoractl").string()) +
                                " auth callback 'velmora://auth?token=kept-for-this-run' 2>&1 >/dev/null",
                            &warnings);
    EXPECT_NE(warnings.find("secret store"), std::string::npos) << warnings;
    EXPECT_EQ(warnings.find("kept-for-this-run"), std::string::npos) << warnings;
    EXPECT_EQ(velmoractl("auth callback 'velmora://auth?token=t'", noBus).output,
              "{\"result\":\"signedIn\",\"error\":null,\"isSignedIn\":true}\n");
}
