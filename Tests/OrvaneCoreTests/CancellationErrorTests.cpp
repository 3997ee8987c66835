#include "OrvaneCore/Errors/CancellationError.h"

#include <gtest/gtest.h>

TEST(CancellationError, ThrowsOnlyOnceStopIsRequested) {
    std::stop_source source;
    EXPECT_NO_THROW(orvane::throwIfCancelled(source.get_token()));
    source.request_stop();
    EXPECT_THROW(orvane::throwIfCancelled(source.get_token()), orvane::CancellationError);
    EXPECT_NO_THROW(orvane::throwIfCancelled(std::stop_token{}));
}
