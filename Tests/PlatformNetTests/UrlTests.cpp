#include "Platform/Net/HttpHeaders.h"
#include "Platform/Net/Url.h"

#include <gtest/gtest.h>

using net::Url;

TEST(Url, ReadsThePartsOfAnAbsoluteAddress) {
    auto url = Url::parse("http://user@127.0.0.1:8080/a/b%20c?x=1#top");
    ASSERT_TRUE(url);
    EXPECT_EQ(url->scheme(), "http");
    EXPECT_EQ(url->user(), "user");
    EXPECT_EQ(url->host(), "127.0.0.1");
    EXPECT_EQ(url->port(), 8080);
    EXPECT_EQ(url->path(), "/a/b%20c");
    EXPECT_EQ(url->query(), "x=1");
    EXPECT_EQ(url->fragment(), "top");
    EXPECT_EQ(url->lastPathComponent(), "b c");
    EXPECT_EQ(url->absoluteString(), "http://user@127.0.0.1:8080/a/b%20c?x=1#top");
}

TEST(Url, TellsReferencesWithAndWithoutAHostApart) {
    auto relative = Url::parse("/x/y?z=1");
    ASSERT_TRUE(relative);
    EXPECT_FALSE(relative->hasHost());
    EXPECT_EQ(relative->path(), "/x/y");
    EXPECT_EQ(relative->query(), "z=1");

    auto networkPath = Url::parse("//other.example/x");
    ASSERT_TRUE(networkPath);
    EXPECT_TRUE(networkPath->hasHost());
    EXPECT_EQ(networkPath->host(), "other.example");

    EXPECT_EQ(Url::parse("HTTPS://Host/x")->scheme(), "https");

    auto ipv6 = Url::parse("http://[::1]:9/p");
    ASSERT_TRUE(ipv6);
    EXPECT_EQ(ipv6->host(), "[::1]");
    EXPECT_EQ(ipv6->port(), 9);
}

TEST(Url, RefusesTextThatIsNoAddress) {
    for (const char* text : {"", "http://host/a b", "http://host/%zz", "http://host:99999/",
                             "http://host:8x/", "http://host/\n", "http://h\xc3\xa9/", "http://host/{x}"}) {
        EXPECT_FALSE(Url::parse(text)) << text;
    }
}

TEST(Url, AppendsOneSegmentWithItsSlashesEscaped) {
    auto base = *Url::parse("https://hub.example");
    EXPECT_EQ(base.appendingPathComponent("api").appendingPathComponent("refs/pr/1").absoluteString(),
              "https://hub.example/api/refs%2Fpr%2F1");
    EXPECT_EQ(base.appendingPathComponent("a b?#%").absoluteString(), "https://hub.example/a%20b%3F%23%25");
    // A base with a trailing slash or a path of its own keeps it, with one separator.
    EXPECT_EQ(Url::parse("http://h/")->appendingPathComponent("x").absoluteString(), "http://h/x");
    EXPECT_EQ(Url::parse("http://h/mirror")->appendingPathComponent("x").absoluteString(),
              "http://h/mirror/x");
    EXPECT_EQ(base.appendingPathComponent("refs/pr/1").lastPathComponent(), "refs/pr/1");
}

TEST(Url, AppendsAPathSegmentBySegment) {
    auto base = *Url::parse("http://h/api");
    EXPECT_EQ(base.appendingPath("owner/name").absoluteString(), "http://h/api/owner/name");
    EXPECT_EQ(base.appendingPath("sub dir/model.bin").absoluteString(), "http://h/api/sub%20dir/model.bin");
}

TEST(HttpHeaders, FindsFieldsWhateverTheirCase) {
    net::HttpHeaders headers;
    headers.add("X-Linked-Etag", "\"abc\"");
    headers.add("set-cookie", "a");
    headers.add("Set-Cookie", "b");
    EXPECT_EQ(headers.value("x-linked-etag"), "\"abc\"");
    EXPECT_EQ(headers.value("SET-COOKIE"), "a, b");
    EXPECT_FALSE(headers.value("Etag"));
    headers.set("SET-cookie", "c");
    EXPECT_EQ(headers.value("Set-Cookie"), "c");
    EXPECT_EQ(headers.fields().size(), 2u);
}
