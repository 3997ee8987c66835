#include "OrvaneCore/Errors/CancellationError.h"
#include "Sonavex/Core/Audio/Live/AudioBufferStream.h"

#include <gtest/gtest.h>
#include <stdexcept>
#include <thread>

using sonavex::AudioBufferStream;

TEST(AudioBufferStream, DeliversAcrossThreadsInOrderThenTheErrorThenTheEndAndTerminatesOnce) {
    auto [stream, continuation] = AudioBufferStream::make();
    int terminations = 0;
    continuation.setOnTermination([&] { ++terminations; });
    std::thread writer([continuation = continuation] {
        continuation.yield({1});
        continuation.yield({2, 3});
        continuation.finish(std::make_exception_ptr(std::runtime_error("device gone")));
        continuation.finish();
    });
    EXPECT_EQ(stream.next(), std::vector<float>{1});
    EXPECT_EQ(stream.next(), (std::vector<float>{2, 3}));
    EXPECT_THROW(stream.next(), std::runtime_error);
    EXPECT_EQ(stream.next(), std::nullopt);
    writer.join();
    EXPECT_EQ(terminations, 1);
    EXPECT_FALSE(continuation.yield({4}));
}

TEST(AudioBufferStream, TheReaderLettingGoOrStoppingItsWaitEndsTheStream) {
    int terminations = 0;
    std::optional<AudioBufferStream::Continuation> writer;
    {
        auto [stream, continuation] = AudioBufferStream::make();
        continuation.setOnTermination([&] { ++terminations; });
        writer = continuation;
    }
    EXPECT_EQ(terminations, 1);
    EXPECT_FALSE(writer->yield({1}));
    writer->setOnTermination([&] { terminations += 10; }); // already ended: runs at once
    EXPECT_EQ(terminations, 11);

    auto [stream, continuation] = AudioBufferStream::make();
    continuation.setOnTermination([&] { ++terminations; });
    std::stop_source stop;
    std::thread stopper([&] { stop.request_stop(); });
    EXPECT_THROW(stream.next(stop.get_token()), orvane::CancellationError);
    stopper.join();
    EXPECT_EQ(terminations, 12);
}
