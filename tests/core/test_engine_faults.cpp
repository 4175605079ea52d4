// Faults found in the engine and its threads: stopping a capture whose thread
// is stuck in a driver read, the bounded sound-thread queue, and recording at
// the rate the capture device really runs at.
#include "tests/core/EngineTestUtil.h"
#include "tests/core/TestUtil.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

using namespace enginetest;
using Clock = std::chrono::steady_clock;

namespace {

int64_t MsSince(Clock::time_point t) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count();
}

// The capture thread sits in a read that Stop cannot wake. Closing the capture
// must wait for the read (nothing it uses is freed under it) unless the read
// outlasts the stop limit; then the thread is abandoned and the engine leaks
// the driver rather than deleting it. Either way the run is clean under ASan.
TEST(EngineFaults, CaptureCloseWhileTheDriverIsBlockedInARead) {
    struct Case {
        int readMs, stopLimitMs;
        bool abandoned;
    } cases[] = {{1300, STOP_THREAD_LIMIT_MS, false}, {1300, 150, true}};
    for (const Case& c : cases) {
        testutil::TraceCapture trace;
        Clock::time_point stopAt;
        int64_t closeMs = 0;
        uint32_t blocksAtStop = 0, blocksAfter = 0;
        {
            EngineRig rig;
            ASSERT_TRUE(rig.m_Audio.Initialize(&rig.m_Log));
            CTestCapture* capture = rig.Capture();
            capture->SetFlowControl({});
            capture->SetReadDelay(c.readMs);
            capture->SetStopLimit(c.stopLimitMs);
            ASSERT_TRUE(rig.StartCapture(std::make_shared<CToneSignal>(1000, 48000, 8000)));
            ASSERT_TRUE(WaitFor([&] { return capture->IsInRead(); }, 5000));
            blocksAtStop = capture->GetBlocksDelivered();
            stopAt = Clock::now();
            EXPECT_EQ(rig.m_Audio.CaptureClose(), 1);
            closeMs = MsSince(stopAt);
            EXPECT_EQ(capture->HasAbandonedThread(), c.abandoned) << c.stopLimitMs;
            if (!c.abandoned) blocksAfter = capture->GetBlocksDelivered();
        } // the engine and (unless leaked) its drivers are gone here
        if (c.abandoned) {
            EXPECT_GE(closeMs, c.stopLimitMs - 20);
            EXPECT_LT(closeMs, c.readMs - 200) << "an abandoned read is not waited for";
            EXPECT_EQ(trace.Count("[CAudioControl] capture driver leaked: its thread did not end\n"), 1);
        } else {
            // Returns once the read ends, and the block it read is not delivered.
            EXPECT_GE(closeMs, c.readMs - 200);
            EXPECT_EQ(blocksAfter, blocksAtStop);
            EXPECT_EQ(trace.Count("[CAudioControl] capture driver leaked: its thread did not end\n"), 0);
        }
        // Let a thread that outlived its owner wake up while we watch: ASan
        // reports it if it touches anything that was freed.
        const int64_t rest = c.readMs + 300 - MsSince(stopAt);
        if (rest > 0) std::this_thread::sleep_for(std::chrono::milliseconds(rest));
    }
}

} // namespace
