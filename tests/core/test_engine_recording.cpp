// The capture -> gain -> channel mode -> effects -> record path, checked on the
// samples of the recorded file (the whole engine over the test driver pair).
// The arithmetic's edge cases live in the SampleOps tables; these check that
// each option reaches the file.
#include "effects/CEffectManager.h"
#include "tests/core/EngineTestUtil.h"
#include "tests/core/TestUtil.h"

#include <gtest/gtest.h>

using namespace enginetest;

TEST(EngineRecording, OptionsShapeTheRecordedSamples) {
    testutil::TempDir dir("options");
    std::vector<int16_t> stereo, mono;
    for (int i = 0; i < 960; ++i) {
        stereo.insert(stereo.end(), {static_cast<int16_t>(100 + i), static_cast<int16_t>(-300 - i)});
        mono.push_back(static_cast<int16_t>(7 * i - 3000));
    }
    auto keep = [&](bool left, bool right) {
        std::vector<int16_t> v = stereo;
        for (size_t i = 0; i < v.size(); ++i)
            if (!(i % 2 ? right : left)) v[i] = 0;
        return v;
    };
    // Blocks of 480 frames: sound, silence, sound with one zero sample.
    std::vector<int16_t> gaps(480 * 2 * 3, 0);
    for (int i = 0; i < 2880; ++i)
        gaps[i] = i < 960 ? 500 : (i < 1920 || i == 2000 ? 0 : -500);
    std::vector<int16_t> gapsDropped(gaps.begin(), gaps.begin() + 960);
    gapsDropped.insert(gapsDropped.end(), gaps.begin() + 1920, gaps.end());
    const std::vector<int16_t> edges = {16384, -16384, -32768, 32767, 1, -1, 0, 8192, 7, -7};

    // Boost: x level, the level limited to 1..10 (eighths at 0); (s x gain) >> 3 saturated.
    const std::vector<int16_t> x2 = {32767, -32768, -32768, 32767, 2, -2, 0, 16384, 14, -14},
                               eighth = {2048, -2048, -4096, 4095, 0, -1, 0, 1024, 0, -1},
                               x10 = {32767, -32768, -32768, 32767, 10, -10, 0, 32767, 70, -70};
    struct Case {
        const char* name;
        const std::vector<int16_t>& in;
        int inChannels, fileChannels, boostOn, boostLevel, channelMode;
        bool floatCapture, withRenderer;
        std::vector<int16_t> out; // empty: the input, doubled to stereo
    } cases[] = {
        {"boost off", stereo, 2, 2, 0, 2, 0, false, true, stereo},
        {"boost x2", edges, 2, 2, 1, 2, 0, false, true, x2},
        {"boost level 0", edges, 2, 2, 1, 0, 0, false, true, eighth},
        {"boost level 30", edges, 2, 2, 1, 30, 0, false, true, x10},
        // The driver delivers s / 32768; the engine takes x * 32768 rounded: exact.
        {"float capture", edges, 2, 2, 0, 0, 0, true, true, edges},
        {"mode 3: left", stereo, 2, 2, 0, 0, 3, false, true, keep(true, false)},
        {"mode 4: right", stereo, 2, 2, 0, 0, 4, false, true, keep(false, true)},
        {"mono file", mono, 1, 1, 0, 0, 1, false, true, mono},
        {"mono as stereo", mono, 1, 2, 0, 0, 1, false, true, {}},
        {"silence kept with a renderer", gaps, 2, 2, 0, 0, 0, false, true, gaps},
        {"silence dropped without", gaps, 2, 2, 0, 0, 0, false, false, gapsDropped},
    };
    for (Case& c : cases) {
        if (c.out.empty())
            for (int16_t v : c.in)
                c.out.insert(c.out.end(), 2, v);
        WavData w = Record(dir.Path(), c.in, c.inChannels, [&](RecordSessionOptions& o) {
            o.boostOn = c.boostOn, o.boostLevel = c.boostLevel, o.channelMode = c.channelMode;
            o.floatCapture = c.floatCapture, o.withRenderer = c.withRenderer, o.blockFrames = 480;
            o.recFileChannel = c.fileChannels == 2;
        });
        EXPECT_EQ(w.tag, 1) << c.name;
        EXPECT_EQ(w.channels, c.fileChannels) << c.name;
        EXPECT_EQ(AfterLead(w), c.out) << c.name;
    }
}

TEST(EngineRecording, EffectsOnRunTheChainAndSilenceWithoutManager) {
    testutil::TempDir dir("effects");
    std::vector<int16_t> in;
    for (int i = 0; i < 4800; ++i)
        in.push_back(static_cast<int16_t>((i * 37) % 20000 - 10000));
    auto recorded = [&](CEffectManager* manager) {
        return AfterLead(Record(dir.Path(), in, 2, [&](RecordSessionOptions& o) {
            o.effectsOn = true;
            o.effectChain = manager;
        }));
    };
    CEffectManager manager;
    EXPECT_EQ(recorded(nullptr), std::vector<int16_t>(in.size(), 0)); // no manager: cleared
    EXPECT_EQ(recorded(&manager), in);                                // an empty chain changes nothing
    int32_t values[10] = {50};
    EXPECT_GE(manager.AddEffect(4, values, 48000, -1), 0);
    manager.SetEffectEnable(0, 0);
    EXPECT_EQ(recorded(&manager), in); // a disabled effect is skipped
    // (An enabled chain's exact output is checked with the loopback rates.)
}
