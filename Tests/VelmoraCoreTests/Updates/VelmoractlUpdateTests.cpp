#include "Support/FeedServer.h"
#include "Support/TestSupport.h"

#include <gtest/gtest.h>

namespace {

std::string velmoractl(const std::string& arguments, int* status = nullptr) {
    std::string output;
    const int code = testsupport::runCommand("'" + testsupport::toolPath("velmoractl").string() +
                                                 "' update check " + arguments + " 2>/dev/null",
                                             &output);
    if (status) {
        *status = code;
    }
    return output;
}

const std::string item = R"({"version":"1.2.0","displayVersion":"1.2","url":"https://example.com/1.2"})";

} // namespace

TEST(VelmoractlUpdate, PrintsEachDecisionFlagChangeStoreChangeAndDialogInOrder) {
    testsupport::FeedServer server;
    server.answer(200,
                  "<updates><item version=\"1.2.0\" displayVersion=\"1.2\" url=\"https://example.com/1.2\"/>"
                  "<item version=\"1.0\" url=\"https://example.com/1.0\"/></updates>");
    const std::string feed = "--feed " + server.url();
    const std::string flag = "{\"event\":\"canCheckForUpdates\",\"value\":";

    EXPECT_EQ(velmoractl(feed + " --current 1.0 --scheduled"),
              flag + "true}\n" + flag + "false}\n" +
                  "{\"event\":\"supportsGentleScheduledUpdateReminders\",\"answer\":true}\n"
                  "{\"event\":\"standardUserDriverShouldHandleShowingScheduledUpdate:andInImmediateFocus:\","
                  "\"update\":" +
                  item +
                  ",\"immediateFocus\":false,\"answer\":false}\n"
                  "{\"event\":\"standardUserDriverWillHandleShowingUpdate:forUpdate:state:\","
                  "\"handleShowingUpdate\":false,\"update\":" +
                  item + ",\"userInitiated\":false}\n" + flag +
                  "true}\n{\"event\":\"pendingUpdate\",\"value\":" + item + "}\n");

    const std::string shown = "{\"event\":\"dialog\",\"message\":\"新しいバージョン 1.2 が利用可能です\","
                              "\"buttons\":[\"インストール…\",\"後で\"]}\n";
    const std::string attention =
        "{\"event\":\"standardUserDriverDidReceiveUserAttentionForUpdate:\",\"update\":" + item + "}\n";
    EXPECT_EQ(velmoractl(feed + " --current 1.0"),
              flag + "true}\n" + flag + "false}\n" +
                  "{\"event\":\"standardUserDriverWillHandleShowingUpdate:forUpdate:state:\","
                  "\"handleShowingUpdate\":true,\"update\":" +
                  item + ",\"userInitiated\":true}\n" + shown + attention + flag + "true}\n");

    const std::string focused = velmoractl(feed + " --current 1.0 --focused --scheduled");
    EXPECT_NE(focused.find("\"immediateFocus\":true,\"answer\":true}\n"), std::string::npos) << focused;
    EXPECT_NE(focused.find(shown + attention), std::string::npos) << focused;
    EXPECT_EQ(focused.find("pendingUpdate"), std::string::npos) << focused;

    EXPECT_EQ(velmoractl(feed + " --current 1.2"),
              flag + "true}\n" + flag + "false}\n" +
                  "{\"event\":\"dialog\",\"message\":\"最新のバージョンを使用しています。\",\"buttons\":["
                  "\"OK\"]}\n" +
                  flag + "true}\n");

    server.answer(404, "");
    EXPECT_EQ(velmoractl(feed + " --current 1.0"),
              flag + "true}\n" + flag + "false}\n" +
                  "{\"event\":\"dialog\",\"message\":\"アップデートを確認できませんでした: "
                  "フィードを取得できません（HTTP "
                  "404）\",\"buttons\":[\"OK\"]}\n" +
                  flag + "true}\n");
    EXPECT_EQ(velmoractl(feed + " --current 1.0 --scheduled"),
              flag + "true}\n" + flag + "false}\n" + flag + "true}\n");
}

TEST(VelmoractlUpdate, BadArgumentsAreUsageErrorsAndFetchNothing) {
    testsupport::FeedServer server;
    const std::string feed = "--feed " + server.url();
    for (const std::string& bad : std::vector<std::string>{
             feed + " --current 1.x", feed + " --current 1 --focused", feed, "--current 1",
             feed + " --current 1 extra", "--feed http://example.com/feed.xml --current 1",
             "--feed file:///etc/hosts --current 1", feed + " --current 1 --scheduled --scheduled"}) {
        int status = 0;
        EXPECT_EQ(velmoractl(bad, &status), "") << bad;
        EXPECT_EQ(status, 2) << bad;
    }
    EXPECT_EQ(server.requestCount(), 0);
}
