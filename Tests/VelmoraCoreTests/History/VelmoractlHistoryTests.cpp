#include "../VelmoractlRunner.h"
#include "Support/TestSupport.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace fs = std::filesystem;

TEST(VelmoractlHistory, ListsTheSaveFolderOrDirAndShowsOneRecordingAsTheDetailDoes) {
    velmoractltest::Velmoractl velmoractl;
    const fs::path saveFolder = velmoractl.home.path() / "Documents/ベルモラ";
    testsupport::writeFile(saveFolder / "2024-01-02_100000/transcript.txt", "\n自分: \"引用\" と\\\n相手: はい\n");
    testsupport::writeFile(saveFolder / "2024-01-03_100000/transcript.txt", "");
    testsupport::writeFile(saveFolder / ".2024-01-04_100000/transcript.txt", "隠し");
    const fs::path other = velmoractl.home.path() / "other";
    testsupport::writeFile(other / "2023-12-31_235959/transcript.txt", "相手: 年末");

    velmoractltest::ToolRun listed = velmoractl("history");
    EXPECT_EQ(listed.status, 0);
    EXPECT_EQ(listed.output, "{\"id\":\"2024-01-03_100000\",\"date\":\"2024/01/03 10:00\",\"preview\":\"（内容なし）\"}\n"
                             "{\"id\":\"2024-01-02_100000\",\"date\":\"2024/01/02 10:00\","
                             "\"preview\":\"自分: \\\"引用\\\" と\\\\\"}\n");
    EXPECT_EQ(velmoractl("history --dir other").output,
              "{\"id\":\"2023-12-31_235959\",\"date\":\"2023/12/31 23:59\",\"preview\":\"相手: 年末\"}\n");
    EXPECT_EQ(velmoractl("history --dir missing").output, "");

    EXPECT_EQ(velmoractl("history show 2024-01-02_100000").output, "\n自分: \"引用\" と\\\n相手: はい\n");
    EXPECT_EQ(velmoractl("history show 2024-01-03_100000").output, "（文字起こし結果が空です）\n");
    EXPECT_EQ(velmoractl("history show --dir other 2023-12-31_235959").output, "相手: 年末\n");

    for (const char* missing : {"history show .2024-01-04_100000", "history show ../other/2023-12-31_235959",
                                "history show 2023-12-31_235959"}) {
        velmoractltest::ToolRun run = velmoractl(missing);
        EXPECT_EQ(run.status, 1) << missing;
        EXPECT_EQ(run.output.rfind("{\"error\":\"inputError\"", 0), 0u) << missing;
    }
    for (const char* bad : {"history show", "history show a b", "history list", "history --dir"}) {
        EXPECT_EQ(velmoractl(bad).status, 2) << bad;
    }
}
