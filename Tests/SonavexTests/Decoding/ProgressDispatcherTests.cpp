#include "Sonavex/Core/Decoding/ProgressDispatcher.h"

#include <future>
#include <gtest/gtest.h>
#include <memory>

using sonavex::ProgressDispatcher;

TEST(ProgressDispatcher, DestroyedElsewhereItRunsTheQueuedJobsFirst) {
    int ran = 0;
    {
        ProgressDispatcher dispatcher;
        for (int i = 0; i < 100; ++i) {
            dispatcher.post([&ran] { ++ran; });
        }
    }
    EXPECT_EQ(ran, 100);
}

// A progress callback can drop the last owner of the decoder, and with it the dispatcher, on the
// dispatcher's own thread: inside the job, or when the finished job lets go of what it captured.
TEST(ProgressDispatcher, AJobMayDestroyItsOwnDispatcher) {
    for (int round = 0; round < 50; ++round) {
        auto* dispatcher = new ProgressDispatcher;
        std::promise<void> destroyed;
        dispatcher->post([dispatcher, &destroyed] {
            delete dispatcher;
            destroyed.set_value();
        });
        destroyed.get_future().wait();
    }

    for (int round = 0; round < 50; ++round) {
        auto owner = std::make_shared<ProgressDispatcher>();
        std::promise<void> ran;
        auto ranFuture = ran.get_future();
        std::weak_ptr<ProgressDispatcher> weak = owner;
        owner->post([keep = owner, &ran] { ran.set_value(); });
        owner->post([] {}); // dropped with the dispatcher, never run
        owner.reset();      // the first job now holds the last reference
        ranFuture.wait();
        while (!weak.expired()) {
            std::this_thread::yield();
        }
    }
}
