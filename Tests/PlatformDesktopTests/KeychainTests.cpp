#include "Platform/Desktop/Keychain/SecretServiceKeychain.h"
#include "Support/Desktop/SessionBusTest.h"
#include "Support/TestSupport.h"

#include <gtest/gtest.h>

using testsupport::shellQuoted;

namespace {

constexpr const char* service = "velmora-test-secret";

class SecretServiceKeychainTest : public testsupport::SessionBusTest {
protected:
    SecretServiceKeychainTest() : SessionBusTest({service}) {}

    static std::string lookup(const std::string& account = "default") {
        std::string secret;
        secretTool(std::string("lookup service ") + service + " account " + account, &secret);
        return secret;
    }
    static int items() { return itemCount(std::string("service ") + service); }
};

} // namespace

TEST_F(SecretServiceKeychainTest, SavingReplacesTheOneItemAndDeletingIsQuietWhenNothingIsStored) {
    desktop::SecretServiceKeychain keychain(service, "default");
    EXPECT_EQ(keychain.load(), std::nullopt);
    keychain.remove(); // nothing to delete: no effect, no complaint
    EXPECT_EQ(items(), 0);

    keychain.save("first token");
    keychain.save("second-トークン");
    EXPECT_EQ(items(), 1) << "save deletes before it adds";
    EXPECT_EQ(lookup(), "second-トークン");
    EXPECT_EQ(keychain.load(), "second-トークン");

    const std::string listing = itemListing(std::string("service ") + service);
    EXPECT_NE(listing.find("label = velmora-test-secret\n"), std::string::npos) << listing;
    EXPECT_NE(listing.find("attribute.account = default\n"), std::string::npos) << listing;

    keychain.remove();
    EXPECT_EQ(items(), 0);
    EXPECT_EQ(keychain.load(), std::nullopt);
}

TEST_F(SecretServiceKeychainTest, EmptyAndNulHoldingSecretsRoundTripByteForByte) {
    desktop::SecretServiceKeychain keychain(service, "default");
    keychain.save("");
    EXPECT_EQ(keychain.load(), std::string()) << "an empty secret is still a stored one";
    const std::string withNul("a\0b", 3);
    keychain.save(withNul);
    EXPECT_EQ(keychain.load(), withNul);
    EXPECT_EQ(items(), 1);
}

TEST_F(SecretServiceKeychainTest, ItemsStoredByOthersAreFoundUnlessTheyAreNotUtf8) {
    desktop::SecretServiceKeychain keychain(service, "default");
    ASSERT_EQ(testsupport::runCommand(
                  "printf 'from-secret-tool' | DBUS_SESSION_BUS_ADDRESS=" + shellQuoted(busAddress()) +
                  " secret-tool store --label=other service " + service + " account default 2>/dev/null"),
              0);
    EXPECT_EQ(keychain.load(), "from-secret-tool");

    ASSERT_EQ(testsupport::runCommand(
                  "printf '\\377\\376' | DBUS_SESSION_BUS_ADDRESS=" + shellQuoted(busAddress()) +
                  " secret-tool store --label=other service " + service + " account default 2>/dev/null"),
              0);
    EXPECT_EQ(keychain.load(), std::nullopt);
    keychain.save("mine");
    EXPECT_EQ(items(), 1) << "the foreign item is replaced, not kept beside ours";
}

TEST_F(SecretServiceKeychainTest, AnotherAccountIsLeftAlone) {
    desktop::SecretServiceKeychain mine(service, "default");
    desktop::SecretServiceKeychain other(service, "someone-else");
    other.save("theirs");
    mine.save("ours");
    mine.remove();
    EXPECT_EQ(lookup("someone-else"), "theirs");
    EXPECT_EQ(other.load(), "theirs");
    EXPECT_EQ(mine.load(), std::nullopt);
}
