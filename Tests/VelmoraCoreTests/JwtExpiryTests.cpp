#include "AuthTestSupport.h"
#include "VelmoraCore/Auth/JwtExpiry.h"

#include <gtest/gtest.h>

using velmora::jwtExpiry;

namespace {

std::optional<double> seconds(std::string_view token) {
    const auto expiry = jwtExpiry(token);
    return expiry ? std::optional<double>(expiry->time_since_epoch().count()) : std::nullopt;
}

} // namespace

TEST(JwtExpiry, ThePayloadsExpIsReadWithItsFraction) {
    EXPECT_EQ(seconds(authtest::jwt(R"({"sub":"u","exp":1700000000.25})")), 1700000000.25);
    EXPECT_EQ(seconds(authtest::jwt(R"({"exp":-5})")), -5.0);
    // The URL-safe alphabet: this payload's encoding holds both "-" and "_".
    const std::string payload = R"({"exp":7,"n":"??>>~~"})";
    ASSERT_NE(authtest::base64Url(payload).find_first_of("-_"), std::string::npos);
    EXPECT_EQ(seconds(authtest::jwt(payload)), 7.0);
}

TEST(JwtExpiry, PaddingIsAddedUpToAMultipleOfFour) {
    // 10 payload bytes encode to 14 characters and need two "=", 9 bytes to 12 and none, 11 to 15 and one.
    ASSERT_EQ(authtest::base64Url(R"({"exp":12})").size(), 14u);
    ASSERT_EQ(authtest::base64Url(R"({"exp":1})").size(), 12u);
    ASSERT_EQ(authtest::base64Url(R"({"exp":123})").size(), 15u);
    EXPECT_EQ(seconds(authtest::jwt(R"({"exp":12})")), 12.0);
    EXPECT_EQ(seconds(authtest::jwt(R"({"exp":1})")), 1.0);
    EXPECT_EQ(seconds(authtest::jwt(R"({"exp":123})")), 123.0);
    EXPECT_EQ(seconds("a." + authtest::base64Url(R"({"exp":123})") + "=.c"), 123.0) << "own padding is kept";
    EXPECT_EQ(seconds("a.eyJleHAiOjF9A.c"), std::nullopt)
        << "13 characters cannot be base64 with any padding";
}

TEST(JwtExpiry, AnythingButThreePiecesAndANumericExpHasNoExpiry) {
    const std::string payload = authtest::base64Url(R"({"exp":5})");
    EXPECT_EQ(seconds("a." + payload), std::nullopt);
    EXPECT_EQ(seconds("a." + payload + ".c.d"), std::nullopt);
    EXPECT_EQ(seconds(".a.." + payload + "..c."), 5.0) << "empty pieces are dropped before counting";
    EXPECT_EQ(seconds(""), std::nullopt);
    EXPECT_EQ(seconds(authtest::jwt(R"({"exp":"1700000000"})")), std::nullopt);
    EXPECT_EQ(seconds(authtest::jwt(R"({"exp":true})")), std::nullopt);
    EXPECT_EQ(seconds(authtest::jwt(R"({"exp":null})")), std::nullopt);
    EXPECT_EQ(seconds(authtest::jwt(R"({"iat":5})")), std::nullopt);
    EXPECT_EQ(seconds(authtest::jwt(R"([5])")), std::nullopt);
    EXPECT_EQ(seconds(authtest::jwt(R"({"exp":1e400})")), std::nullopt);
    EXPECT_EQ(seconds(authtest::jwt("not json")), std::nullopt);
    EXPECT_EQ(seconds("a.e*JleHAiOjF9.c"), std::nullopt) << "not the base64 alphabet";
    EXPECT_EQ(seconds("a.eyJleHAiOjF9=.c"), std::nullopt) << "a third \"=\" after padding";
}

TEST(Base64, DecodingIsStrict) {
    EXPECT_EQ(velmora::decodeBase64("aGk="), "hi");
    EXPECT_EQ(velmora::decodeBase64("aGVsbG8h"), "hello!");
    EXPECT_EQ(velmora::decodeBase64(""), "");
    EXPECT_EQ(velmora::decodeBase64("aGk"), std::nullopt);
    EXPECT_EQ(velmora::decodeBase64("a=Gk"), std::nullopt);
    EXPECT_EQ(velmora::decodeBase64("aG=="), "h");
    EXPECT_EQ(velmora::decodeBase64("a==="), std::nullopt);
    EXPECT_EQ(velmora::decodeBase64("aG k"), std::nullopt);
}
