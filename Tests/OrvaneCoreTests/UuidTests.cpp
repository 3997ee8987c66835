#include "OrvaneCore/System/Uuid.h"

#include <gtest/gtest.h>
#include <regex>
#include <unordered_set>

using orvane::Uuid;

TEST(Uuid, RandomVersionFourInCanonicalLowerCase) {
    std::unordered_set<Uuid> seen;
    for (int i = 0; i < 1000; ++i) {
        Uuid id;
        auto text = id.uuidString();
        ASSERT_TRUE(std::regex_match(
            text, std::regex("[0-9a-f]{8}-[0-9a-f]{4}-4[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}")))
            << text;
        EXPECT_TRUE(seen.insert(id).second);
    }
}

TEST(Uuid, TextRoundTripAndRejection) {
    Uuid id;
    EXPECT_EQ(Uuid::fromString(id.uuidString()), id);
    auto upper = Uuid::fromString("E621E1F8-C36C-495A-93FC-0C247A3E6E5F");
    ASSERT_TRUE(upper);
    EXPECT_EQ(upper->uuidString(), "e621e1f8-c36c-495a-93fc-0c247a3e6e5f");
    EXPECT_FALSE(Uuid::fromString(""));
    EXPECT_FALSE(Uuid::fromString("e621e1f8c36c495a93fc0c247a3e6e5f"));
    EXPECT_FALSE(Uuid::fromString("e621e1f8-c36c-495a-93fc-0c247a3e6e5g"));
    EXPECT_FALSE(Uuid::fromString("e621e1f8-c36c-495a-93fc_0c247a3e6e5f"));
}
