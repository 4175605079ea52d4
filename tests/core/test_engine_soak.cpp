// Ten minutes of 48 kHz stereo through the whole path as fast as it goes:
// every frame accounted for. (The program's own memory over a long take is
// measured by scripts/soak.sh.)
#include "tests/core/EngineTestUtil.h"

#include <algorithm>

using namespace enginetest;

TEST(EngineSoak, TenMinutesEveryFrameAccountedFor) {
    testutil::TempDir dir("soak");
    const uint64_t frames = 48000ull * 600;
    RecordSessionOptions o;
    o.outPath = dir.File("soak.wav");
    o.signal = Counting(frames);
    o.channelMode = 2;
    o.blockFrames = 480;
    o.rendererKeepBytes = 0;
    RecordSessionResult r;
    std::string error;
    ASSERT_TRUE(RunRecordSession(o, &r, &error)) << error;
    EXPECT_EQ(r.capturedFrames, frames);
    EXPECT_EQ(r.recordedFrames, frames);
    EXPECT_EQ(r.overflows, 0u);
    WavData w = ReadWav(o.outPath);
    ExpectConsistentHeader(w);
    // Compared whole, without printing millions of samples when they differ.
    const std::vector<int16_t> got = AfterLead(w), expect = CountingFrames({{0, frames}});
    ASSERT_EQ(got.size(), expect.size());
    EXPECT_TRUE(got == expect) << "first wrong sample at "
                               << std::mismatch(got.begin(), got.end(), expect.begin()).first - got.begin();
}
