#include "../../VelmoractlRunner.h"

#include <gtest/gtest.h>

TEST(VelmoractlDualLayout, PrintsTheHalfOpenRangesAndTheRateOrTheLayoutError) {
    velmoractltest::Velmoractl velmoractl;
    auto run = velmoractl("dual-layout 3 0 1 2 --aggregate-rate 44100 --tap-rate 96000");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output, "{\"micChannels\":[0,1],\"systemChannels\":[1,3],\"sampleRate\":44100}\n");
    // Without the device's rate: the tap's, but at least 48000.
    EXPECT_EQ(velmoractl("dual-layout 2 0 1 2").output,
              "{\"micChannels\":[0,1],\"systemChannels\":[1,2],\"sampleRate\":48000}\n");
    EXPECT_EQ(velmoractl("dual-layout 6 2 2 2 --tap-rate 96000").output,
              "{\"micChannels\":[2,4],\"systemChannels\":[4,6],\"sampleRate\":96000}\n");

    run = velmoractl("dual-layout 1 0 1 2");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.output,
              "{\"error\":\"message\",\"message\":\"チャンネル配置を解決できない。\\nアグリゲート入力ch=1, "
              "出力デバイス入力ch=0, マイク入力ch=1, タップch=2\"}\n");

    for (const char* bad :
         {"3 0 1", "3 0 1 2 5", "3 0 -1 2", "3 0 x 2", "3 0 1 2 --aggregate-rate fast",
          "3 0 1 2 --sample-rate 1", "3 0 1 2 --aggregate-rate nan", "3 0 1 2 --tap-rate -5",
          "3 0 1 2 --aggregate-rate 1e300", "3 0 1 2 --tap-rate 768000", "3 0 1 2 --aggregate-rate 0",
          "3 0 1 2 --tap-rate inf"}) {
        EXPECT_EQ(velmoractl(std::string("dual-layout ") + bad).status, 2) << bad;
    }
    EXPECT_NE(velmoractl("dual-layout 3 0 1 2 --tap-rate -5", true)
                  .output.find("--tap-rate needs a sample rate above 0 and below 768000"),
              std::string::npos);
}
