// The capture -> gain -> channel mode -> effects -> record path, checked on the
// samples of the recorded file (the whole engine over the test driver pair).
#include "effects/CEffectManager.h"
#include "engine/RecordSession.h"
#include "tests/core/EngineTestUtil.h"
#include "tests/core/TestUtil.h"

#include <gtest/gtest.h>

using namespace enginetest;

namespace {

// Runs a session on `frames` frames of `input` (interleaved, `channels` wide)
// and returns the recorded file.
WavData RecordInput(const testutil::TempDir& dir, const std::vector<int16_t>& input, int channels,
                    const std::function<void(RecordSessionOptions&)>& adjust = {},
                    RecordSessionResult* out = nullptr) {
    RecordSessionOptions o;
    o.outPath = dir.File("take.wav");
    o.inputSamples = input;
    o.inputChannels = channels;
    if (adjust) adjust(o);
    RecordSessionResult r;
    std::string error;
    EXPECT_TRUE(RunRecordSession(o, &r, &error)) << error;
    EXPECT_EQ(r.capturedFrames, input.size() / channels);
    EXPECT_EQ(r.overflows, 0u);
    if (out) *out = r;
    return ReadWav(o.outPath);
}

std::vector<int16_t> Repeat(std::initializer_list<int16_t> frame, size_t frames) {
    std::vector<int16_t> v;
    for (size_t i = 0; i < frames; ++i)
        v.insert(v.end(), frame);
    return v;
}

} // namespace

TEST(EngineRecording, GainSaturatesAtFullScale) {
    testutil::TempDir dir("gain");
    struct Case {
        int boostOn, level;
        int16_t l, r;
    } cases[] = {
        {0, 0, 20000, -20000},  // boost off: unity
        {1, 1, 20000, -20000},  // level 1: x1
        {1, 2, 32767, -32768},  // x2 saturates instead of wrapping
        {1, 0, 2500, -2500},    // level 0: gain 1 (an eighth)
        {1, 10, 32767, -32768}, // x10
    };
    for (const Case& c : cases) {
        WavData w = RecordInput(dir, Repeat({20000, -20000}, 4800), 2, [&](RecordSessionOptions& o) {
            o.boostOn = c.boostOn;
            o.boostLevel = c.level;
        });
        ASSERT_TRUE(w.ok);
        std::vector<int16_t> s = AfterLead(w);
        ASSERT_EQ(s.size(), 9600u);
        for (size_t i = 0; i < s.size(); i += 2) {
            ASSERT_EQ(s[i], c.l) << "level " << c.level << " frame " << i / 2;
            ASSERT_EQ(s[i + 1], c.r) << "level " << c.level << " frame " << i / 2;
        }
    }
}

TEST(EngineRecording, FloatCaptureIsConvertedToPcm16) {
    testutil::TempDir dir("float");
    // The driver delivers s / 32768; the engine takes x * 32767 truncated.
    std::vector<int16_t> in = {16384, -16384, -32768, 32767, 1, -1, 0, 8192};
    const int16_t expect[] = {16383, -16383, -32767, 32766, 0, 0, 0, 8191};
    WavData w = RecordInput(dir, in, 2, [](RecordSessionOptions& o) { o.floatCapture = true; });
    ASSERT_TRUE(w.ok);
    EXPECT_EQ(w.tag, 1);
    EXPECT_EQ(w.bits, 16);
    std::vector<int16_t> s = AfterLead(w);
    ASSERT_EQ(s.size(), 8u);
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(s[i], expect[i]) << i;
}

TEST(EngineRecording, ChannelModesAndRecFileChannel) {
    testutil::TempDir dir("modes");
    std::vector<int16_t> stereo, mono;
    for (int i = 0; i < 960; ++i) {
        stereo.push_back(static_cast<int16_t>(100 + i));
        stereo.push_back(static_cast<int16_t>(-300 - i));
        mono.push_back(static_cast<int16_t>(7 * i - 3000));
    }
    struct Case {
        int mode, recFileChannel, fileChannels;
    } cases[] = {{1, 0, 1}, {1, 1, 2}, {2, 0, 2}, {2, 1, 2}, {3, 0, 2}, {3, 1, 2}, {4, 0, 2}, {4, 1, 2}};
    for (const Case& c : cases) {
        const bool monoIn = c.mode == 1;
        WavData w = RecordInput(dir, monoIn ? mono : stereo, monoIn ? 1 : 2, [&](RecordSessionOptions& o) {
            o.channelMode = c.mode;
            o.recFileChannel = c.recFileChannel;
        });
        ASSERT_TRUE(w.ok);
        EXPECT_EQ(w.channels, c.fileChannels) << "mode " << c.mode;
        std::vector<int16_t> s = AfterLead(w);
        ASSERT_EQ(s.size(), 960u * c.fileChannels) << "mode " << c.mode;
        for (int i = 0; i < 960; ++i) {
            int16_t l = stereo[2 * i], r = stereo[2 * i + 1];
            if (monoIn) {
                for (int ch = 0; ch < c.fileChannels; ++ch)
                    ASSERT_EQ(s[i * c.fileChannels + ch], mono[i]);
            } else {
                ASSERT_EQ(s[2 * i], c.mode == 4 ? 0 : l) << "mode " << c.mode << " frame " << i;
                ASSERT_EQ(s[2 * i + 1], c.mode == 3 ? 0 : r) << "mode " << c.mode << " frame " << i;
            }
        }
    }
}

TEST(EngineRecording, EveryRecordingStartsWithHalfASecondOfSilence) {
    testutil::TempDir dir("lead");
    struct Case {
        int channels, rate, leadBytes;
    } cases[] = {{1, 48000, 48000}, {2, 48000, 96000}, {2, 44100, 88200}, {1, 8000, 8000}};
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
        RecordSessionResult r;
        WavData w = RecordInput(
            dir, in, 2,
            [&](RecordSessionOptions& o) {
                o.withRenderer = renderer;
                o.blockFrames = 480;
            },
            &r);
        ASSERT_TRUE(w.ok);
        std::vector<int16_t> s = AfterLead(w);
        if (renderer) {
            ASSERT_EQ(s, in);
        } else {
            std::vector<int16_t> kept(in.begin(), in.begin() + 960);
            kept.insert(kept.end(), in.begin() + 1920, in.end());
            ASSERT_EQ(s, kept);
        }
    }
}

TEST(EngineRecording, EffectsOnRunTheChainAndSilenceWithoutManager) {
    testutil::TempDir dir("effects");
    std::vector<int16_t> in;
    for (int i = 0; i < 4800; ++i)
        in.push_back(static_cast<int16_t>((i * 37) % 20000 - 10000));

    // No manager: the block is cleared.
    {
        CEffectManager* old = g_pEffectManager;
        g_pEffectManager = nullptr;
        WavData w = RecordInput(dir, in, 2, [](RecordSessionOptions& o) { o.effectsOn = true; });
        g_pEffectManager = old;
        ASSERT_TRUE(w.ok);
        std::vector<int16_t> s = AfterLead(w);
        ASSERT_EQ(s.size(), in.size());
        for (int16_t v : s)
            ASSERT_EQ(v, 0);
    }
    // A manager with an empty chain gives back every sample unchanged.
    {
        CEffectManager manager;
        CEffectManager* old = g_pEffectManager;
        g_pEffectManager = &manager;
        WavData w = RecordInput(dir, in, 2, [](RecordSessionOptions& o) { o.effectsOn = true; });
        ASSERT_TRUE(w.ok);
        EXPECT_EQ(AfterLead(w), in);
        // A disabled effect is skipped too.
        int32_t values[10] = {50};
        ASSERT_GE(manager.AddEffect(4, values, 48000, -1), 0);
        manager.SetEffectEnable(0, 0);
        w = RecordInput(dir, in, 2, [](RecordSessionOptions& o) { o.effectsOn = true; });
        EXPECT_EQ(AfterLead(w), in);
        // Switched on, the delay changes the signal.
        manager.SetEffectEnable(0, 1);
        w = RecordInput(dir, in, 2, [](RecordSessionOptions& o) { o.effectsOn = true; });
        EXPECT_EQ(AfterLead(w).size(), in.size());
        EXPECT_NE(AfterLead(w), in);
        g_pEffectManager = old;
    }
}
