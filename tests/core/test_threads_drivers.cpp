// StopThread's bounded wait. (The test driver pair is checked by every engine
// round trip that records what it delivers.)
#include "platform/Thread.h"
#include "tests/core/TestUtil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>

namespace {

TEST(StopThread, WaitsForAThreadThatEnds) {
    std::atomic<bool> quit{false};
    CThread* t = new CThread([&] {
        while (!quit)
            plat::SleepMs(5);
    });
    quit = true;
    CThread* slot = t;
    EXPECT_EQ(StopThread(slot), 1);
    EXPECT_EQ(slot, nullptr);
    EXPECT_EQ(StopThread(slot), 1) << "an empty slot is fine";
}

TEST(StopThread, AbandonsOnlyAThreadThatOutlastsTheLimit) {
    struct Case {
        int runMs, limitMs, result;
        const char* line;
    } cases[] = {
        {1200, 5000, 1, "StopThread: thread still running after 1 s, waiting\n"},
        {5000, 200, 0, "StopThread: thread still running after 200 ms, abandoned; what it uses is leaked\n"},
    };
    for (const Case& c : cases) {
        testutil::TraceCapture trace;
        auto release = std::make_shared<std::atomic<bool>>(false);
        auto start = std::chrono::steady_clock::now();
        CThread* slot = new CThread([release, c, start] {
            while (!*release && std::chrono::steady_clock::now() - start < std::chrono::milliseconds(c.runMs))
                plat::SleepMs(5);
        });
        EXPECT_EQ(StopThread(slot, c.limitMs), c.result);
        auto waited = std::chrono::steady_clock::now() - start;
        EXPECT_GE(waited, std::chrono::milliseconds(std::min(c.runMs, c.limitMs) - 10));
        EXPECT_EQ(slot, nullptr);
        EXPECT_EQ(trace.Count(c.line), 1) << c.limitMs;
        *release = true; // the abandoned thread still ends on its own
        plat::SleepMs(50);
    }
}

} // namespace
