#include "VelmoraCore/Transcription/ChunkPlanner.h"

#include <gtest/gtest.h>

using velmora::ChunkPlanner;
using velmora::SampleRange;
using Ranges = std::vector<SampleRange>;

TEST(ChunkPlanner, TheLimitsAreTheTruncatedProductsOfTheRate) {
    EXPECT_EQ(ChunkPlanner::maxGap, 19200);
    EXPECT_EQ(ChunkPlanner::maxSpan, 400000);
    EXPECT_EQ(ChunkPlanner::padding, 4800);
}

TEST(ChunkPlanner, StretchesAreJoinedUpToTheGapAndSpanLimitsAndNoFurther) {
    // A gap of exactly 1.2 s joins; one sample more does not.
    EXPECT_EQ(ChunkPlanner::join({{0, 1600}, {20800, 22400}}), (Ranges{{0, 22400}}));
    EXPECT_EQ(ChunkPlanner::join({{0, 1600}, {20801, 22400}}), (Ranges{{0, 1600}, {20801, 22400}}));
    // A chunk may span exactly 25 s; a stretch that would take it one sample past starts a new chunk,
    // however small the gap.
    EXPECT_EQ(ChunkPlanner::join({{0, 200000}, {201600, 400000}}), (Ranges{{0, 400000}}));
    EXPECT_EQ(ChunkPlanner::join({{0, 200000}, {201600, 400001}}), (Ranges{{0, 200000}, {201600, 400001}}));
    // The span counts from the chunk's first stretch, so a chain of close stretches is cut at 25 s.
    Ranges chain;
    for (std::int64_t start = 0; start < 560000; start += 16000) {
        chain.push_back({start, start + 8000});
    }
    EXPECT_EQ(ChunkPlanner::join(chain), (Ranges{{0, 392000}, {400000, 552000}}));
    // A single stretch longer than 25 s stays whole.
    EXPECT_EQ(ChunkPlanner::join({{1600, 500000}, {501600, 503200}}),
              (Ranges{{1600, 500000}, {501600, 503200}}));
    EXPECT_TRUE(ChunkPlanner::join({}).empty());
}

TEST(ChunkPlanner, PaddingIsClampedToTheTrackAtBothEnds) {
    EXPECT_EQ(ChunkPlanner::pad({{1600, 3200}}, 8000), (Ranges{{0, 8000}}));
    EXPECT_EQ(ChunkPlanner::pad({{0, 1600}, {100000, 160000}}, 160000), (Ranges{{0, 6400}, {95200, 160000}}));
    EXPECT_EQ(ChunkPlanner::pad({{10000, 20000}}, 100000), (Ranges{{5200, 24800}}));
}

TEST(ChunkPlanner, PaddedChunksThatTouchAreJoinedWithinTheSpanElseBothStayOverlapping) {
    // Padded ends that meet exactly (19,200 = 19,200) join; one sample apart they do not.
    EXPECT_EQ(ChunkPlanner::pad({{10000, 14400}, {24000, 30000}}, 100000), (Ranges{{5200, 34800}}));
    EXPECT_EQ(ChunkPlanner::pad({{10000, 14400}, {24001, 30000}}, 100000),
              (Ranges{{5200, 19200}, {19201, 34800}}));
    // Chunks the first pass split at the span limit overlap once padded, and both stay: the shared
    // stretch is transcribed twice.
    const Ranges joined = ChunkPlanner::join({{0, 399000}, {400600, 402000}});
    ASSERT_EQ(joined.size(), 2u);
    EXPECT_EQ(ChunkPlanner::pad(joined, 1000000), (Ranges{{0, 403800}, {395800, 406800}}));
}

TEST(ChunkPlanner, PlanIsJoinThenPad) {
    EXPECT_EQ(ChunkPlanner::plan({{3200, 6400}, {16000, 17600}, {200000, 201600}}, 203000),
              (Ranges{{0, 22400}, {195200, 203000}}));
    EXPECT_TRUE(ChunkPlanner::plan({}, 16000).empty());
}
