// StopThread's bounded wait. (The test driver pair is checked by every engine
// round trip that records what it delivers.)
#include "platform/Platform.h"
#include "platform/Thread.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>

namespace {

// A thread that ends within the limit is waited for, past the first second
// too; one that outlasts it is abandoned, and ends on its own later.
TEST(StopThread, WaitsForAThreadThatEndsAndAbandonsOnlyOneThatOutlastsTheLimit) {
    struct Case {
        int runMs, limitMs, result;
    } cases[] = {{1200, 5000, 1}, {5000, 200, 0}};
    for (const Case& c : cases) {
        auto release = std::make_shared<std::atomic<bool>>(false);
        auto start = std::chrono::steady_clock::now();
        CThread* slot = new CThread([release, c, start] {
            while (!*release && std::chrono::steady_clock::now() - start < std::chrono::milliseconds(c.runMs))
                plat::SleepMs(5);
        });
        EXPECT_EQ(StopThread(slot, c.limitMs), c.result);
        auto waited = std::chrono::steady_clock::now() - start;
        EXPECT_GE(waited, std::chrono::milliseconds(std::min(c.runMs, c.limitMs) - 10));
        EXPECT_LT(waited, std::chrono::milliseconds(std::min(c.runMs, c.limitMs) + 900)) << c.limitMs;
        EXPECT_EQ(slot, nullptr);
        EXPECT_EQ(StopThread(slot), 1) << "an empty slot is fine";
        *release = true; // the abandoned thread still ends on its own
        plat::SleepMs(50);
    }
}

} // namespace
