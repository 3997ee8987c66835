#include "Support/Network/FeedServer.h"
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

} // namespace

TEST(VelmoractlUpdate, PrintsEachDecisionFlagChangeStoreChangeAndDialogInOrder) {
    testsupport::FeedServer server;
    server.answer(200,
                  "<updates><item version=\"1.2.0\" displayVersion=\"1.2\" url=\"https://example.com/1.2\"/>"
                  "</updates>");
    const std::string feed = "--feed " + server.url() + " --current 1.0";
    const std::string item = R"({"version":"1.2.0","displayVersion":"1.2","url":"https://example.com/1.2"})";
    const std::string flag = "{\"event\":\"canCheckForUpdates\",\"value\":";
    const std::string willHandle =
        "{\"event\":\"standardUserDriverWillHandleShowingUpdate:forUpdate:state:\",\"handleShowingUpdate\":";

    EXPECT_EQ(velmoractl(feed + " --scheduled"),
              flag + "true}\n" + flag + "false}\n" +
                  "{\"event\":\"supportsGentleScheduledUpdateReminders\",\"answer\":true}\n"
                  "{\"event\":\"standardUserDriverShouldHandleShowingScheduledUpdate:andInImmediateFocus:\","
                  "\"update\":" +
                  item + ",\"immediateFocus\":false,\"answer\":false}\n" + willHandle +
                  "false,\"update\":" + item + ",\"userInitiated\":false}\n" + flag + "true}\n" +
                  "{\"event\":\"pendingUpdate\",\"value\":" + item + "}\n");

    EXPECT_EQ(velmoractl(feed),
              flag + "true}\n" + flag + "false}\n" + willHandle + "true,\"update\":" + item +
                  ",\"userInitiated\":true}\n" +
                  "{\"event\":\"dialog\",\"message\":\"新しいバージョン 1.2 が利用可能です\","
                  "\"buttons\":[\"インストール…\",\"後で\"]}\n"
                  "{\"event\":\"standardUserDriverDidReceiveUserAttentionForUpdate:\",\"update\":" +
                  item + "}\n" + flag + "true}\n");

    const std::string focused = velmoractl(feed + " --scheduled --focused");
    EXPECT_NE(focused.find("\"immediateFocus\":true,\"answer\":true}\n"), std::string::npos) << focused;
    EXPECT_EQ(focused.find("pendingUpdate"), std::string::npos) << focused;

    int status = 0;
    for (const std::string& bad : std::vector<std::string>{
             "--feed " + server.url() + " --current 1.x", feed + " --focused", "--current 1",
             "--feed http://example.com/feed.xml --current 1", feed + " --scheduled --scheduled"}) {
        EXPECT_EQ(velmoractl(bad, &status), "") << bad;
        EXPECT_EQ(status, 2) << bad;
    }
    EXPECT_EQ(server.requestCount(), 3);
}
