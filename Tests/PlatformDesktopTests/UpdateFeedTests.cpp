#include "Platform/Desktop/Updates/UpdateFeed.h"
#include "Platform/Desktop/Updates/UpdateFeedError.h"
#include "Platform/Desktop/Updates/UpdateFeedReader.h"
#include "Platform/Desktop/Updates/UpdateUrlPolicy.h"
#include "Support/Network/FeedServer.h"

#include <gtest/gtest.h>

using desktop::UpdateFeed;
using desktop::UpdateFeedError;
using desktop::UpdateVersion;

namespace {

UpdateVersion version(const std::string& text) {
    auto parsed = UpdateVersion::parse(text);
    EXPECT_TRUE(parsed) << text;
    return parsed.value_or(*UpdateVersion::parse("0"));
}

UpdateFeedError::Code failureOf(const std::string& document) {
    try {
        UpdateFeed::parse(document);
    } catch (const UpdateFeedError& error) {
        return error.code();
    }
    ADD_FAILURE() << "accepted: " << document;
    return UpdateFeedError::Code::tooLarge;
}

} // namespace

TEST(UpdateVersion, ComparesPartByPartAsNumbers) {
    EXPECT_GT(version("1.10"), version("1.9"));
    EXPECT_GT(version("2"), version("1.99.99"));
    EXPECT_GT(version("1.2.1"), version("1.2"));
    EXPECT_EQ(version("1.2"), version("1.2.0.0"));
    EXPECT_EQ(version("01.002"), version("1.2"));
    EXPECT_LT(version("0.9"), version("0.10"));
    EXPECT_EQ(version("18446744073709551615").text(), "18446744073709551615");
}

TEST(UpdateVersion, RefusesAnythingButDotSeparatedNumbers) {
    for (const char* bad : {"", ".", "1.", ".1", "1..2", "v1.2", "1.2-beta", "1.2 ", " 1", "+1", "-1", "1,2",
                            "18446744073709551616", "１.２"}) {
        EXPECT_FALSE(UpdateVersion::parse(bad)) << bad;
    }
}

TEST(UpdateUrlPolicy, OnlyHttpsOrHttpToThisMachine) {
    for (const char* good :
         {"https://example.com/app.tar.gz", "HTTPS://Example.com/", "http://localhost:8080/x",
          "http://127.0.0.1/feed.xml", "http://[::1]:9/x", "http://LOCALHOST/x"}) {
        EXPECT_TRUE(desktop::isAllowedUpdateUrl(good)) << good;
    }
    for (const char* bad :
         {"http://example.com/app", "http://localhost.example.com/", "http://127.0.0.2/",
          "file:///etc/passwd", "javascript:alert(1)", "ftp://example.com/a", "https:///path", "https://",
          "/relative/path", "example.com", "", "https://exa mple.com/", "https://example.com/\n"}) {
        EXPECT_FALSE(desktop::isAllowedUpdateUrl(bad)) << bad;
    }
}

TEST(UpdateFeed, TheUpdateIsTheNewestItemAboveTheRunningVersion) {
    const UpdateFeed feed = UpdateFeed::parse(R"(<?xml version="1.0"?>
        <updates>
          <item version="1.2.0" displayVersion="1.2" url="https://example.com/1.2"/>
          <item version="1.10" url="https://example.com/1.10"/>
          <item version="1.10.0" displayVersion="second of equals" url="https://example.com/other"/>
          <item version="1.9" url="https://example.com/1.9"/>
          <note version="99" url="https://example.com/not-an-item"/>
        </updates>)");
    ASSERT_EQ(feed.items().size(), 4u);
    EXPECT_EQ(feed.items()[0].displayVersionString(), "1.2");
    EXPECT_EQ(feed.items()[1].displayVersionString(), "1.10"); // the version when no display version is given

    const auto update = feed.newestAbove(version("1.2"));
    ASSERT_TRUE(update);
    EXPECT_EQ(update->version().text(), "1.10");
    EXPECT_EQ(update->url(), "https://example.com/1.10");
    EXPECT_EQ(feed.newestAbove(version("1.9.9"))->version().text(), "1.10");
    EXPECT_FALSE(feed.newestAbove(version("1.10.0")));
    EXPECT_FALSE(feed.newestAbove(version("2")));
}

TEST(UpdateFeed, ABrokenFeedIsAnErrorNotAnAnswer) {
    using Code = UpdateFeedError::Code;
    EXPECT_EQ(failureOf(""), Code::notXml);
    EXPECT_EQ(failureOf("<updates><item version=\"1\" url=\"https://e.com/\"></updates>"), Code::notXml);
    EXPECT_EQ(failureOf("{\"version\": \"2.0\"}"), Code::notXml);
    EXPECT_EQ(failureOf("<html><item version=\"2\" url=\"https://e.com/\"/></html>"), Code::noItems);
    EXPECT_EQ(failureOf("<updates/>"), Code::noItems);
    EXPECT_EQ(failureOf("<updates><entry version=\"2\" url=\"https://e.com/\"/></updates>"), Code::noItems);
    // One bad item spoils the feed, even an old one.
    EXPECT_EQ(failureOf("<updates><item version=\"2\" url=\"https://e.com/\"/>"
                        "<item version=\"1.x\" url=\"https://e.com/\"/></updates>"),
              Code::badVersion);
    EXPECT_EQ(failureOf("<updates><item url=\"https://e.com/\"/></updates>"), Code::badVersion);
    EXPECT_EQ(failureOf("<updates><item version=\"2\"/></updates>"), Code::refusedUrl);
    EXPECT_EQ(failureOf("<updates><item version=\"2\" url=\"javascript:alert(1)\"/></updates>"),
              Code::refusedUrl);
    EXPECT_EQ(failureOf("<updates><item version=\"2\" url=\"http://example.com/app\"/></updates>"),
              Code::refusedUrl);

    try {
        UpdateFeed::parse("<updates><item version=\"2\" url=\"file:///bin/sh\"/></updates>");
    } catch (const UpdateFeedError& error) {
        EXPECT_STREQ(error.what(), "フィードの項目のアドレスは開けません: \"file:///bin/sh\"");
    }
}

TEST(UpdateFeedReader, ReadsTheFeedOnlyFromAnAnswerThatIsOk) {
    testsupport::FeedServer server;
    server.offer({"1.0", "1.3"});
    const desktop::UpdateFeedReader reader(server.url());
    EXPECT_EQ(reader.read().newestAbove(version("1.0"))->url(), "https://example.com/1.3");

    // An error page holding a valid feed is still an error.
    server.answer(503, "<updates><item version=\"9\" url=\"https://example.com/9\"/></updates>");
    try {
        reader.read();
        ADD_FAILURE() << "an error status was read as a feed";
    } catch (const UpdateFeedError& error) {
        EXPECT_EQ(error.code(), UpdateFeedError::Code::badStatus);
        EXPECT_STREQ(error.what(), "フィードを取得できません（HTTP 503）");
    }

    server.answer(200,
                  "<updates>" + std::string(desktop::UpdateFeedReader::maxFeedBytes, ' ') + "</updates>");
    try {
        reader.read();
        ADD_FAILURE() << "an oversized body was read";
    } catch (const UpdateFeedError& error) {
        EXPECT_EQ(error.code(), UpdateFeedError::Code::tooLarge);
    }
}

TEST(UpdateFeedReader, RefusesAFeedAddressItWouldNotTrust) {
    EXPECT_THROW(desktop::UpdateFeedReader("http://example.com/feed.xml"), std::invalid_argument);
    EXPECT_THROW(desktop::UpdateFeedReader("file:///tmp/feed.xml"), std::invalid_argument);
}
