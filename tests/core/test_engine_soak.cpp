// Ten minutes of 48 kHz stereo through the whole path as fast as it goes:
// every frame accounted for, and no growth in memory.
#include "engine/CAudioControl.h"
#include "tests/core/EngineTestUtil.h"
#include "tests/core/TestUtil.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

// Resident set size in bytes, 0 when unknown (or under ASan, whose shadow
// memory makes it meaningless).
uint64_t ResidentBytes() {
#if defined(__linux__) && !defined(__SANITIZE_ADDRESS__)
    FILE* f = std::fopen("/proc/self/statm", "r");
    if (!f) return 0;
    unsigned long long pages = 0, resident = 0;
    int n = std::fscanf(f, "%llu %llu", &pages, &resident);
    std::fclose(f);
    return n == 2 ? resident * 4096ull : 0;
#else
    return 0;
#endif
}

} // namespace

TEST(EngineSoak, TenMinutesEveryFrameAccountedFor) {
    testutil::TempDir dir("soak");
    const uint64_t frames = 48000ull * 600;
    RecordSessionOptions o;
    o.outPath = dir.File("soak.wav");
    o.signal = std::make_shared<CCountingSignal>(frames);
    o.channelMode = 2;
    o.blockFrames = 480;
    o.rendererKeepBytes = 0;
    uint64_t rssAfterMinute = 0, rssLast = 0;
    int64_t maxInFlight = 0;
    o.onProgress = [&](CAudioControl& audio, uint64_t captured) {
        maxInFlight = std::max<int64_t>(maxInFlight, audio.GetBlocksInFlight());
        if (!rssAfterMinute && captured >= 48000ull * 60) rssAfterMinute = ResidentBytes();
        rssLast = ResidentBytes();
    };
    RecordSessionResult r;
    std::string error;
    ASSERT_TRUE(RunRecordSession(o, &r, &error)) << error;
    EXPECT_EQ(r.capturedFrames, frames);
    EXPECT_EQ(r.recordedFrames, frames);
    EXPECT_EQ(r.overflows, 0u);
    EXPECT_LE(maxInFlight, 1);
    // Nine more minutes after the first must not have grown the process: a
    // leaked block per 10 ms would be over 100 MB here.
    EXPECT_LT(rssLast, rssAfterMinute + (16u << 20));

    // The lead, then frame n carrying n & 0x7FFF on both channels.
    enginetest::WavData w = enginetest::ReadWav(o.outPath);
    EXPECT_EQ(w.dataSize, (24000 + frames) * 4);
    ASSERT_EQ(w.samples.size(), (24000 + frames) * 2);
    uint64_t mismatches = 0;
    for (size_t i = 0; i < w.samples.size(); ++i) {
        const uint64_t frame = i / 2;
        const int16_t expect = frame < 24000 ? 0 : static_cast<int16_t>((frame - 24000) & 0x7FFF);
        if (w.samples[i] != expect && mismatches++ < 5)
            ADD_FAILURE() << "frame " << frame << ": " << w.samples[i] << " != " << expect;
    }
    EXPECT_EQ(mismatches, 0u);
}
