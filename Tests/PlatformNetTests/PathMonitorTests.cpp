#include "Platform/Net/PathMonitor.h"

#include <condition_variable>
#include <gtest/gtest.h>
#include <mutex>
#include <vector>

TEST(PathMonitor, ReportsTheCurrentPathOnStartAndInjectedPathsAfter) {
    std::mutex lock;
    std::condition_variable arrived;
    std::vector<net::NetworkPath> reports;
    net::PathMonitor monitor;
    monitor.setHandler([&](const net::NetworkPath& path) {
        std::lock_guard guard(lock);
        reports.push_back(path);
        arrived.notify_all();
    });
    monitor.start();
    monitor.start(); // a second start keeps the one watcher
    {
        std::unique_lock guard(lock);
        ASSERT_TRUE(arrived.wait_for(guard, std::chrono::seconds(5), [&] { return !reports.empty(); }));
        EXPECT_EQ(reports.front(), net::NetworkPath::current());
    }
    monitor.injectPathForTesting({false, false, false});
    monitor.cancel();
    size_t count = 0;
    {
        std::lock_guard guard(lock);
        EXPECT_FALSE(reports.back().satisfied);
        count = reports.size();
    }
    monitor.injectPathForTesting({true, true, false}); // delivered even when not watching
    std::lock_guard guard(lock);
    EXPECT_EQ(reports.size(), count + 1);
}
