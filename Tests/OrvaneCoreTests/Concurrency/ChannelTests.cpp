#include "OrvaneCore/Concurrency/Channel.h"

#include <chrono>
#include <gtest/gtest.h>
#include <thread>

using orvane::Channel;

TEST(Channel, DeliversBufferedItemsAfterCloseThenEnds) {
    Channel<std::string> channel;
    EXPECT_TRUE(channel.push("a"));
    EXPECT_TRUE(channel.push("b"));
    channel.close();
    EXPECT_TRUE(channel.isClosed());
    EXPECT_FALSE(channel.push("late"));
    EXPECT_EQ(channel.pop(), "a");
    EXPECT_EQ(channel.tryPop(), "b");
    EXPECT_EQ(channel.pop(), std::nullopt);
    EXPECT_EQ(channel.pop(), std::nullopt);
}

TEST(Channel, ConsumerReceivesEveryItemInOrderThenTheEnd) {
    Channel<int> channel;
    constexpr int kCount = 10000;
    std::vector<int> received;
    std::thread consumer([&] {
        while (auto item = channel.pop()) {
            received.push_back(*item);
        }
    });
    for (int i = 0; i < kCount; ++i) {
        channel.push(i);
    }
    channel.close();
    consumer.join();
    ASSERT_EQ(received.size(), static_cast<std::size_t>(kCount));
    for (int i = 0; i < kCount; ++i) {
        ASSERT_EQ(received[i], i);
    }
}

TEST(Channel, CloseWakesAWaitingConsumer) {
    Channel<int> channel;
    std::optional<int> result = 99;
    std::thread consumer([&] { result = channel.pop(); });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    channel.close();
    consumer.join();
    EXPECT_EQ(result, std::nullopt);
}

TEST(Channel, StopRequestCancelsAWaitingPop) {
    Channel<int> channel;
    std::stop_source stop;
    bool cancelled = false;
    std::thread consumer([&] {
        try {
            channel.pop(stop.get_token());
        } catch (const orvane::CancellationError&) {
            cancelled = true;
        }
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    stop.request_stop();
    consumer.join();
    EXPECT_TRUE(cancelled);
    EXPECT_EQ(channel.tryPop(), std::nullopt);
    EXPECT_FALSE(channel.isClosed());
}
