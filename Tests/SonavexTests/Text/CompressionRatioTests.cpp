#include "Sonavex/Utilities/Transcription/TextUtilities.h"
#include "SonavexTests/LogCapture.h"

#include <cmath>
#include <gtest/gtest.h>
#include <zlib.h>

using sonavex::TextUtilities;

TEST(CompressionRatio, RawSizeOverTheRawDeflateLength) {
    // One token: 4 bytes in 6 deflated (a fixed-code block with 4 literals) -> below 1.
    EXPECT_FLOAT_EQ(TextUtilities::compressionRatio(std::vector<int64_t>{50364}), 4.0f / 6.0f);
    // Repetition scores far above the fallback threshold; the same text in its two forms differs.
    EXPECT_GT(TextUtilities::compressionRatio(std::vector<int64_t>(200, 1000)), 20.0f);
    const std::string text = "the quick brown fox jumps over the lazy dog";
    EXPECT_LT(TextUtilities::compressionRatio(text), 1.2f);
    EXPECT_NE(TextUtilities::compressionRatio(text),
              TextUtilities::compressionRatio(std::vector<int64_t>{1, 2, 3}));
    // No zlib header or checksum: the length is that of a raw stream.
    std::string repeated;
    for (int i = 0; i < 50; ++i) {
        repeated += "hello hello ";
    }
    z_stream stream{};
    deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    std::vector<unsigned char> out(1024);
    stream.next_in = reinterpret_cast<unsigned char*>(repeated.data());
    stream.avail_in = uInt(repeated.size());
    stream.next_out = out.data();
    stream.avail_out = uInt(out.size());
    deflate(&stream, Z_FINISH);
    const float expected = float(repeated.size()) / float(stream.total_out);
    deflateEnd(&stream);
    EXPECT_FLOAT_EQ(TextUtilities::compressionRatio(repeated), expected);
}

TEST(CompressionRatio, EmptyOrBrokenTextIsInfinitelyRepetitive) {
    LogCapture log;
    EXPECT_EQ(TextUtilities::compressionRatio(std::string()), INFINITY);
    EXPECT_TRUE(log.lines().empty());
    EXPECT_EQ(TextUtilities::compressionRatio(std::string("ab\xff")), INFINITY);
    EXPECT_EQ(log.lines(), (std::vector<std::string>{"String encoding error"}));
    EXPECT_EQ(TextUtilities::compressionRatio(std::vector<int64_t>{}), 0.0f);
}
