// Faults found in the engine and its threads: stopping a capture whose thread
// is stuck in a driver read, the bounded sound-thread queue, and recording at
// the rate the capture device really runs at.
#include "effects/CEffectManager.h"
#include "effects/EffectTypes.h"
#include "tests/core/EngineTestUtil.h"
#include "tests/core/TestUtil.h"

#include <gtest/gtest.h>

#include <atomic>
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
        {
            EngineRig rig;
            ASSERT_TRUE(rig.m_Audio.Initialize(&rig.m_Log));
            CTestCapture* capture = rig.Capture();
            capture->SetFlowControl({});
            capture->SetReadDelay(c.readMs);
            capture->SetStopLimit(c.stopLimitMs);
            ASSERT_TRUE(rig.StartCapture(std::make_shared<CToneSignal>(1000, 48000, 8000)));
            ASSERT_TRUE(WaitFor([&] { return capture->IsInRead(); }, 5000));
            stopAt = Clock::now();
            EXPECT_EQ(rig.m_Audio.CaptureClose(), 1);
            closeMs = MsSince(stopAt);
            EXPECT_EQ(capture->HasAbandonedThread(), c.abandoned) << c.stopLimitMs;
        } // the engine and (unless leaked) its drivers are gone here
        // A read that ends within the limit is waited for; one that outlasts it is not.
        EXPECT_GE(closeMs, c.abandoned ? c.stopLimitMs - 20 : c.readMs - 200);
        EXPECT_TRUE(!c.abandoned || closeMs < c.readMs - 200) << closeMs;
        EXPECT_EQ(trace.Count("[CAudioControl] capture driver leaked: its thread did not end\n"),
                  c.abandoned ? 1 : 0);
        // Let a thread that outlived its owner wake up while we watch: ASan
        // reports it if it touches anything that was freed.
        const int64_t rest = c.readMs + 300 - MsSince(stopAt);
        if (rest > 0) std::this_thread::sleep_for(std::chrono::milliseconds(rest));
    }
}

class EngineQueue : public EngineTest {};

// The sound thread stalls (a slow chain) while the capture runs on at full
// speed: the queue stops at a few seconds of audio, every block beyond that is
// dropped and counted, and once the thread catches up the recording goes on
// with the blocks captured after the stall.
TEST_F(EngineQueue, StalledSoundThreadDropsAndCountsBlocksAndRecordingResumes) {
    ASSERT_TRUE(a.Initialize(&rig.m_Log));
    CTestCapture* capture = rig.Capture();
    // The capture thread outlives this body (the fixture ends it), so its
    // flow rule owns what it reads.
    auto allowed = std::make_shared<std::atomic<uint64_t>>(0);
    capture->SetFlowControl([capture, allowed] { return capture->GetDeliveredFrames() < *allowed; });
    // 22050 Hz stereo in blocks of 441 frames (1764 bytes, one slot each).
    constexpr uint32_t kBlock = 441;
    ASSERT_TRUE(rig.StartCapture(Counting(1000000), 22050, 2, kBlock));
    ASSERT_EQ(a.RecordStart(Take()), 1);

    const uint32_t slots = a.GetSoundQueueSlots();
    const uint64_t bytes = uint64_t{slots} * a.GetSoundQueueSlotBytes();
    EXPECT_GE(bytes, 22050u * 4 * CAudioControl::SOUND_QUEUE_SECONDS);
    EXPECT_LT(bytes, 22050u * 4 * CAudioControl::SOUND_QUEUE_SECONDS + a.GetSoundQueueSlotBytes());
    ASSERT_EQ(a.GetSoundQueueSlotBytes(), 1768u); // the block rounded up to whole frame pairs

    auto deliver = [&](uint64_t blocks) {
        *allowed += blocks * kBlock;
        ASSERT_TRUE(WaitFor([&] { return capture->GetDeliveredFrames() >= *allowed; }));
    };
    deliver(10);
    ASSERT_TRUE(WaitFor([&] { return a.GetBlocksInFlight() == 0; }));
    a.HoldSoundThreadForTest(true);
    deliver(slots + 57);
    EXPECT_EQ(a.GetBlocksInFlight(), slots) << "the queue holds no more than its slots";
    EXPECT_EQ(a.GetDroppedBlocks(), 57u);

    a.HoldSoundThreadForTest(false);
    ASSERT_TRUE(WaitFor([&] { return a.GetBlocksInFlight() == 0; }));
    deliver(20);
    rig.DrainRecord();
    EXPECT_EQ(a.GetDroppedBlocks(), 57u);
    EXPECT_EQ(a.GetOverflowCount(), 0u);
    EXPECT_EQ(a.RecordStop(), 1);

    const uint64_t kept = 10 + slots;
    ExpectTake(CountingFrames({{0, kept * kBlock}, {(kept + 57) * kBlock, 20 * kBlock}}));
}

// A loopback source runs at its mix format, not at the rate setting (44100 Hz
// 16-bit here). The file's header, the recorded time and the rate the effect
// chain works at all follow the rate the device really delivers: a 20 ms delay
// shifts the signal by 0.02 x that rate, and the sample values come back exact
// from every width.
TEST(EngineFaults, LoopbackAtAnotherMixRateRecordsAtTheTrueRate) {
    struct Case {
        int rate, bits;
        bool isFloat;
        uint64_t frames; // chosen so that counting at 44100 Hz would give another second
        uint32_t seconds;
    } cases[] = {{48000, 32, true, 46080, 0}, {48000, 24, false, 46080, 0}, {22050, 32, false, 30240, 1}};
    for (const Case& c : cases) {
        CEffectManager manager;
        int32_t values[EFFECT_MAX_VALUES] = {1}; // 2 x 1 / 100 s
        ASSERT_GE(manager.AddEffect(EFFECT_DELAY, values, 44100, -1), 0);
        testutil::TempDir dir("loopback");
        EngineRig rig;
        CAudioControl& a = rig.m_Audio;
        a.SetEffectChain(&manager);
        ASSERT_TRUE(a.Initialize(&rig.m_Log));
        rig.Capture()->SetLoopbackMix(c.rate, c.bits, c.isFloat);
        // Frame n is n + 1 (never silent, which a loopback path would skip).
        std::vector<int16_t> in;
        for (uint64_t f = 0; f < c.frames; ++f)
            in.insert(in.end(), 2, static_cast<int16_t>(f % 30000 + 1));
        ASSERT_TRUE(rig.StartCapture(std::make_shared<CBufferSignal>(in, 2), 44100, 2, 480));
        a.m_bEffect = 1;
        const std::string take = dir.File("take.wav");
        ASSERT_EQ(a.RecordStart(take), 1);
        rig.Deliver(c.frames);
        rig.DrainRecord();
        EXPECT_EQ(a.GetRecordedFrames(), c.frames);
        EXPECT_EQ(a.GetRecordedSeconds(), c.seconds) << c.rate;
        ASSERT_EQ(a.RecordStop(), 1);

        WavData w = ReadWav(take);
        EXPECT_EQ(w.rate, c.rate);
        const size_t delay = static_cast<size_t>(c.rate) / 50;
        std::vector<int16_t> expect(delay * 2, 0);
        expect.insert(expect.end(), in.begin(), in.end() - static_cast<ptrdiff_t>(delay * 2));
        EXPECT_EQ(AfterLead(w), expect) << c.rate << " Hz " << c.bits << " bits";
    }
}

} // namespace
