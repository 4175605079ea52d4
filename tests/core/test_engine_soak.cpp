// Ten minutes of 48 kHz stereo through the whole path as fast as it goes:
// every frame accounted for. (The program's own memory over a long take is
// measured by scripts/soak.sh.)
#include "tests/core/EngineTestUtil.h"

#include <algorithm>

using namespace enginetest;

TEST(EngineSoak, TenMinutesEveryFrameAccountedFor) {
    testutil::TempDir dir("soak");
    const uint64_t frames = 48000ull * 600;
    RecordSessionResult r;
    WavData w = Record(
        dir.Path(), {}, 2,
        [&](RecordSessionOptions& o) {
            o.signal = Counting(frames);
            o.channelMode = 2;
            o.blockFrames = 480;
            o.rendererKeepBytes = 0;
        },
        &r);
    EXPECT_EQ(r.capturedFrames, frames);
    EXPECT_EQ(r.recordedFrames, frames);
    // Compared whole, without printing millions of samples when they differ.
    const std::vector<int16_t> got = AfterLead(w), expect = CountingFrames({{0, frames}});
    ASSERT_EQ(got.size(), expect.size());
    EXPECT_TRUE(got == expect) << "first wrong sample at "
                               << std::mismatch(got.begin(), got.end(), expect.begin()).first - got.begin();
}
