// Ten minutes of 48 kHz stereo through the whole path as fast as it goes:
// every frame accounted for. (The program's own memory over a long take is
// measured by scripts/soak.sh.)
#include "tests/core/EngineTestUtil.h"
#include "tests/core/TestUtil.h"

#include <gtest/gtest.h>

TEST(EngineSoak, TenMinutesEveryFrameAccountedFor) {
    testutil::TempDir dir("soak");
    const uint64_t frames = 48000ull * 600;
    RecordSessionOptions o;
    o.outPath = dir.File("soak.wav");
    o.signal = std::make_shared<CCountingSignal>(frames);
    o.channelMode = 2;
    o.blockFrames = 480;
    o.rendererKeepBytes = 0;
    RecordSessionResult r;
    std::string error;
    ASSERT_TRUE(RunRecordSession(o, &r, &error)) << error;
    EXPECT_EQ(r.capturedFrames, frames);
    EXPECT_EQ(r.recordedFrames, frames);
    EXPECT_EQ(r.overflows, 0u);

    // The lead, then frame n carrying n & 0x7FFF on both channels.
    enginetest::WavData w = enginetest::ReadWav(o.outPath);
    ASSERT_EQ(w.samples.size(), (24000 + frames) * 2);
    enginetest::ExpectConsistentHeader(w);
    uint64_t mismatches = 0;
    for (size_t i = 0; i < w.samples.size(); ++i) {
        const uint64_t frame = i / 2;
        const int16_t expect = frame < 24000 ? 0 : static_cast<int16_t>((frame - 24000) & 0x7FFF);
        if (w.samples[i] != expect && mismatches++ < 5)
            ADD_FAILURE() << "frame " << frame << ": " << w.samples[i] << " != " << expect;
    }
    EXPECT_EQ(mismatches, 0u);
}
