// The capture -> gain -> channel mode -> effects -> record path, checked on the
// samples of the recorded file (the whole engine over the test driver pair).
#include "effects/CEffectManager.h"
#include "tests/core/EngineTestUtil.h"
#include "tests/core/TestUtil.h"

#include <gtest/gtest.h>

using namespace enginetest;

TEST(EngineRecording, GainSaturatesAtFullScale) {
    testutil::TempDir dir("gain");
    struct Case {
        int boostOn, level;
        int16_t l, r;
    } cases[] = {
        {0, 0, 20000, -20000}, // boost off: unity
        {1, 2, 32767, -32768}, // x2 saturates instead of wrapping
        {1, 0, 2500, -2500},   // level 0: gain 1 (an eighth)
    };
    for (const Case& c : cases) {
        WavData w = Record(dir.Path(), Repeat({20000, -20000}, 4800), 2, [&](RecordSessionOptions& o) {
            o.boostOn = c.boostOn;
            o.boostLevel = c.level;
        });
        EXPECT_EQ(AfterLead(w), Repeat({c.l, c.r}, 4800)) << "boost " << c.boostOn << " level " << c.level;
    }
}

TEST(EngineRecording, FloatCaptureIsConvertedToPcm16) {
    testutil::TempDir dir("float");
    // The driver delivers s / 32768; the engine takes x * 32768 rounded: exact.
    std::vector<int16_t> in = {16384, -16384, -32768, 32767, 1, -1, 0, 8192};
    WavData w = Record(dir.Path(), in, 2, [](RecordSessionOptions& o) { o.floatCapture = true; });
    EXPECT_EQ(w.tag, 1);
    EXPECT_EQ(w.bits, 16);
    EXPECT_EQ(AfterLead(w), in);
}

TEST(EngineRecording, ChannelModesAndRecFileChannel) {
    testutil::TempDir dir("modes");
    std::vector<int16_t> stereo, mono;
    for (int i = 0; i < 960; ++i) {
        stereo.push_back(static_cast<int16_t>(100 + i));
        stereo.push_back(static_cast<int16_t>(-300 - i));
        mono.push_back(static_cast<int16_t>(7 * i - 3000));
    }
    // Mode 1 records mono (one channel, or both the same); 3 and 4 keep only L or R.
    for (int mode = 1; mode <= 4; ++mode) {
        for (int recFileChannel : {0, 1}) {
            const bool monoIn = mode == 1;
            WavData w =
                Record(dir.Path(), monoIn ? mono : stereo, monoIn ? 1 : 2, [&](RecordSessionOptions& o) {
                    o.channelMode = mode;
                    o.recFileChannel = recFileChannel;
                });
            const int fileChannels = monoIn && !recFileChannel ? 1 : 2;
            EXPECT_EQ(w.channels, fileChannels) << "mode " << mode;
            std::vector<int16_t> expect;
            for (int i = 0; i < 960; ++i) {
                if (monoIn)
                    expect.insert(expect.end(), fileChannels, mono[i]);
                else
                    expect.insert(expect.end(), {mode == 4 ? int16_t(0) : stereo[2 * i],
                                                 mode == 3 ? int16_t(0) : stereo[2 * i + 1]});
            }
            EXPECT_EQ(AfterLead(w), expect) << "mode " << mode << " file channel " << recFileChannel;
        }
    }
}

TEST(EngineRecording, EveryRecordingStartsWithHalfASecondOfSilence) {
    testutil::TempDir dir("lead");
    struct Case {
        int channels, rate, leadBytes;
    } cases[] = {{2, 44100, 88200}, {1, 8000, 8000}};
    for (const Case& c : cases) {
        // nBlockAlign x rate / 2 bytes: 24000 frames at 48 kHz, mono or stereo.
        std::vector<int16_t> in(static_cast<size_t>(c.channels) * 100, 1234);
        std::string path = dir.File("in.wav");
        ASSERT_TRUE(WriteWav16(path, c.channels, c.rate, in));
        RecordSessionOptions o;
        std::string error;
        ASSERT_TRUE(o.LoadInput(path, &error)) << error;
        o.outPath = dir.File("lead.wav");
        o.recFileChannel = 0;
        ASSERT_TRUE(RunRecordSession(o, nullptr, &error)) << error;
        WavData lead = ReadWav(o.outPath);
        ASSERT_TRUE(lead.ok);
        EXPECT_EQ(lead.rate, c.rate);
        EXPECT_EQ(lead.dataSize, static_cast<uint32_t>(c.leadBytes + in.size() * 2));
        EXPECT_EQ(lead.riffSize, 48u + lead.dataSize);
        EXPECT_EQ(lead.factFrames, lead.dataSize / (2u * c.channels));
        EXPECT_EQ(lead.fileSize, 56u + lead.dataSize);
        for (int i = 0; i < c.leadBytes / 2; ++i)
            ASSERT_EQ(lead.samples[i], 0) << i;
        EXPECT_EQ(lead.samples[c.leadBytes / 2], 1234);
    }
}

TEST(EngineRecording, SilenceIsDroppedOnlyWithoutARenderer) {
    testutil::TempDir dir("silence");
    // Blocks of 480 frames: sound, silence, sound with one zero sample.
    std::vector<int16_t> in(480 * 2 * 3, 0);
    for (int i = 0; i < 960; ++i)
        in[i] = 500;
    for (int i = 1920; i < 2880; ++i)
        in[i] = static_cast<int16_t>(i == 2000 ? 0 : -500);
    for (bool renderer : {true, false}) {
        WavData w = Record(dir.Path(), in, 2, [&](RecordSessionOptions& o) {
            o.withRenderer = renderer;
            o.blockFrames = 480;
        });
        std::vector<int16_t> kept(in.begin(), in.begin() + 960);
        kept.insert(kept.end(), in.begin() + (renderer ? 960 : 1920), in.end());
        EXPECT_EQ(AfterLead(w), kept) << "renderer " << renderer;
    }
}

TEST(EngineRecording, EffectsOnRunTheChainAndSilenceWithoutManager) {
    testutil::TempDir dir("effects");
    std::vector<int16_t> in;
    for (int i = 0; i < 4800; ++i)
        in.push_back(static_cast<int16_t>((i * 37) % 20000 - 10000));

    auto recorded = [&] {
        return AfterLead(Record(dir.Path(), in, 2, [](RecordSessionOptions& o) { o.effectsOn = true; }));
    };
    CEffectManager manager;
    CEffectManager* old = g_pEffectManager;
    // No manager: the block is cleared.
    g_pEffectManager = nullptr;
    EXPECT_EQ(recorded(), std::vector<int16_t>(in.size(), 0));
    // A manager with an empty chain gives back every sample unchanged.
    g_pEffectManager = &manager;
    EXPECT_EQ(recorded(), in);
    // A disabled effect is skipped too.
    int32_t values[10] = {50};
    EXPECT_GE(manager.AddEffect(4, values, 48000, -1), 0);
    manager.SetEffectEnable(0, 0);
    EXPECT_EQ(recorded(), in);
    // Switched on, the delay changes the signal.
    manager.SetEffectEnable(0, 1);
    const std::vector<int16_t> delayed = recorded();
    g_pEffectManager = old;
    EXPECT_EQ(delayed.size(), in.size());
    EXPECT_NE(delayed, in);
}
