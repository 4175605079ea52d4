// The chain manager: positions (add, remove, move), the block path and its
// output ring, the 16-bit conversion, per-channel processing and chunk invariance.
#include "effects/CEffectManager.h"
#include "tests/core/EngineTestUtil.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <random>
#include <thread>
#include <tuple>
#include <vector>

using enginetest::InitialValues;

namespace {

// The chain's types from position 0, up to the last occupied position ("-1" for a gap).
std::vector<int> Types(CEffectManager& m) {
    std::vector<int> t;
    for (int p = 0; p < 10; ++p)
        t.push_back(m.GetEffectType(p));
    while (!t.empty() && t.back() < 0)
        t.pop_back();
    return t;
}

// Runs an interleaved block through the chain the way the engine does, in
// pieces of `frames` frames.
std::vector<int16_t> RunChain(CEffectManager& m, std::vector<int16_t> x, int channels, size_t frames) {
    const size_t step = frames * channels;
    for (size_t at = 0; at < x.size(); at += step) {
        int32_t n = static_cast<int32_t>(std::min(step, x.size() - at));
        EXPECT_EQ(m.ProcessChain(x.data() + at, n), n);
        m.ReadChainOutput(x.data() + at, n);
    }
    return x;
}

std::vector<int16_t> Noise(size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> d(-12000, 12000);
    std::vector<int16_t> x(n);
    for (auto& s : x)
        s = static_cast<int16_t>(d(rng));
    return x;
}

// ---------------------------------------------------------------- positions

TEST(EffectManager, AddRemoveMoveCases) {
    const int E1 = EFFECT_CHORUS, E2 = EFFECT_DELAY, E3 = EFFECT_ECHO, E4 = EFFECT_WAU, N = EFFECT_NOTCH;
    // What, the chain before (-1: an empty position), the operation ('a' add N
    // at arg1, 'm' move arg1 -> arg2, 'r' remove arg1), arg1, arg2, AddEffect's
    // answer (add only), the chain after.
    using Case = std::tuple<const char*, std::vector<int>, char, int, int, int, std::vector<int>>;
    const Case cases[] = {
        {"add at -1 uses the first empty", {E1, E2, E3}, 'a', -1, 0, 3, {E1, E2, E3, N}},
        {"add at 1 inserts", {E1, E2, E3}, 'a', 1, 0, 1, {E1, N, E2, E3}},
        {"add at 0 inserts first", {E1, E2}, 'a', 0, 0, 0, {N, E1, E2}},
        {"add at 9 directly", {E1}, 'a', 9, 0, 9, {E1, -1, -1, -1, -1, -1, -1, -1, -1, N}},
        {"add at 10 refused", {E1}, 'a', 10, 0, -1, {E1}},
        {"add to an empty chain", {}, 'a', -1, 0, 0, {N}},
        {"move 0 to 2", {E1, E2, E3, E4}, 'm', 0, 2, 0, {E2, E3, E1, E4}},
        {"move 3 to 0", {E1, E2, E3, E4}, 'm', 3, 0, 0, {E4, E1, E2, E3}},
        {"move to itself", {E1, E2, E3}, 'm', 1, 1, 0, {E1, E2, E3}},
        {"move from an empty position", {E1, E2}, 'm', 5, 0, 0, {E1, E2}},
        {"move out of range", {E1, E2}, 'm', 0, 10, 0, {E1, E2}},
        {"move from negative", {E1, E2}, 'm', -1, 0, 0, {E1, E2}},
        {"move to the end", {E1, E2, E3}, 'm', 0, 9, 0, {E2, E3, -1, -1, -1, -1, -1, -1, -1, E1}},
        {"remove 1", {E1, E2, E3}, 'r', 1, 0, 0, {E1, E3}},
        {"remove the last", {E1, E2, E3}, 'r', 2, 0, 0, {E1, E2}},
        {"remove an empty position closes up", {E1, E2, E3}, 'r', 5, 0, 0, {E1, E2, E3}},
        {"remove out of range", {E1, E2}, 'r', 12, 0, 0, {E1, E2}},
        {"removing a gap closes it", {E1, -1, E3}, 'r', 1, 0, 0, {E1, E3}},
    };
    for (const auto& [what, start, op, arg1, arg2, result, expected] : cases) {
        CEffectManager m;
        for (int i = 0; i < static_cast<int>(start.size()); ++i)
            if (start[i] >= 0) m.AddEffect(start[i], InitialValues(start[i]).data(), 48000, i);
        ASSERT_EQ(Types(m), start) << what;
        if (op == 'a') {
            EXPECT_EQ(m.AddEffect(N, InitialValues(N).data(), 48000, arg1), result) << what;
        }
        if (op == 'm') m.MoveEffect(arg1, arg2);
        if (op == 'r') m.RemoveEffect(arg1);
        EXPECT_EQ(Types(m), expected) << what;
    }
}

TEST(EffectManager, FullChainUnknownTypesAndOutOfRangePositions) {
    CEffectManager m;
    EXPECT_EQ(m.AddEffect(EFFECT_ECHO, nullptr, 48000, -1), 0);
    EXPECT_EQ(m.AddEffect(21, nullptr, 48000, 0), 0); // the position is used, but holds nothing
    EXPECT_EQ(Types(m), (std::vector<int>{-1, EFFECT_ECHO}));
    m.SetEffectEnable(1, 0);
    EXPECT_EQ(m.GetEffectEnable(1), 0);
    m.SetEffectEnable(1, 7);
    for (auto [p, enabled] : {std::pair{0, -1}, {1, 1}, {10, -1}, {-1, -1}})
        EXPECT_EQ(m.GetEffectEnable(p), enabled) << p;
    for (auto [p, result] : {std::pair{10, -1}, {-1, -1}, {4, 0}}) // an empty position: nothing to set
        EXPECT_EQ(m.SetEffectParams(p, nullptr, 48000), result) << p;
    for (int i : {0, 2, 3, 4, 5, 6, 7, 8, 9}) // the empty position first
        ASSERT_EQ(m.AddEffect(EFFECT_THROUGH, nullptr, 48000, -1), i);
    for (int p : {-1, 0, 1, 5, 8, 9, 10, 100})
        EXPECT_EQ(m.AddEffect(EFFECT_ECHO, nullptr, 48000, p), -1) << p;
    EXPECT_EQ(m.GetEffectType(9), EFFECT_THROUGH);
}

// ---------------------------------------------------------------- block path

TEST(EffectManager, ConversionTruncatesTowardZeroClampsAndSilencesNaN) {
    // DISTORTION with drive 1 (value 5) is out = x * level: a known scale. The
    // EQUALIZER's gains of 10^(2e9 / 20) dB are infinite: silence times
    // infinity is NaN, which must come out as 0, and a signal comes out clamped.
    const std::vector<int32_t> huge(10, 2000000000);
    const struct {
        int type;
        std::vector<int32_t> values;
        int channels;
        std::vector<int16_t> in, out;
    } cases[] = {
        {EFFECT_DISTORTION, {5, 100}, 1, {32767, -32768}, {32767, -32768}},
        {EFFECT_DISTORTION, {5, 150}, 1, {16384, -32768, 32767}, {24576, -32768, 32767}},
        {EFFECT_DISTORTION, {5, 50}, 1, {3, -3}, {1, -1}},
        {EFFECT_DISTORTION, {5, 65}, 1, {-1}, {0}},
        {EFFECT_DISTORTION, {5, 200}, 1, {20000, -20000}, {32767, -32768}},
        // A stereo block that ends in half a frame: that sample passes unchanged.
        {EFFECT_DISTORTION, {5, 50}, 2, {1000, 2000, 3000, 4000, 5000}, {500, 1000, 1500, 2000, 5000}},
        {EFFECT_EQUALIZER, huge, 1, std::vector<int16_t>(64, 0), std::vector<int16_t>(64, 0)},
        {EFFECT_EQUALIZER, huge, 1, {20000}, {32767}}};
    for (const auto& c : cases) {
        CEffectManager m;
        m.SetStreamFormat(c.channels, 48000);
        std::vector<int32_t> values = c.values;
        values.resize(10, 0);
        m.AddEffect(c.type, values.data(), 48000, -1);
        EXPECT_EQ(RunChain(m, c.in, c.channels, 3), c.out) << c.type << " " << c.values[1];
    }
}

TEST(EffectManager, RingShortfallAndOverlongBlocks) {
    CEffectManager m;
    std::vector<int16_t> x = Noise(100, 3);
    m.ProcessChain(x.data(), 100);
    std::vector<int16_t> y(150, 99);
    m.ReadChainOutput(y.data(), 150);
    std::vector<int16_t> expected = x;
    expected.resize(150, 0);
    EXPECT_EQ(y, expected);
    // The ring is now empty: a read gives zeros only.
    m.ReadChainOutput(y.data(), 150);
    EXPECT_EQ(y, std::vector<int16_t>(150, 0));
    // A block longer than the ring leaves it empty: the block comes back as zeros.
    std::vector<int16_t> big = Noise(70000, 4);
    EXPECT_EQ(RunChain(m, big, 1, 70000), std::vector<int16_t>(70000, 0));
    // And the ring is usable afterwards.
    EXPECT_EQ(RunChain(m, x, 1, 100), x);
}

// ---------------------------------------------------------------- channels and rate

TEST(EffectManager, ChunkInvariance) {
    const std::vector<int16_t> x = Noise(2 * 24000, 7); // the channels differ
    for (int type = 0; type < EFFECT_TYPE_COUNT; ++type) {
        std::vector<int16_t> reference;
        for (size_t frames : {size_t(24000), size_t(1), size_t(17), size_t(480)}) {
            CEffectManager m;
            m.SetStreamFormat(2, 48000);
            m.AddEffect(type, InitialValues(type).data(), 48000, -1);
            // A second effect after it, so state across blocks is checked in a chain too.
            m.AddEffect(EFFECT_ECHO, nullptr, 48000, -1);
            std::vector<int16_t> y = RunChain(m, x, 2, frames);
            if (reference.empty())
                reference = y;
            else
                ASSERT_EQ(y, reference) << "type " << type << " in blocks of " << frames;
        }
    }
}

// A 20 ms DELAY shows the rate the chain runs at. The impulse on the left of
// frame 0 must come out on the left only: 441 samples at 22050 Hz, run over
// the interleaved samples as one sequence, would land it on the right.
TEST(EffectManager, EngineRateOverridesEditorRateAndChannelsStayApart) {
    int32_t v[10] = {1};
    // Channels, the engine's rate before AddEffect, the editor's, the engine's after (0: not told), the
    // delay.
    const std::array<int, 5> cases[] = {
        {1, 0, 32000, 0, 640},     // the editor's rate until the engine speaks
        {1, 0, 32000, 48000, 960}, // the engine's rate applied to existing entries
        {1, 44100, 32000, 0, 882}, // the engine's rate wins over the editor's
        {1, 0, 0, 0, 960},         // no rate at all means 48000
        {2, 22050, 22050, 0, 441}};
    for (auto [channels, before, editor, after, delay] : cases) {
        CEffectManager m;
        if (before) m.SetStreamFormat(channels, before);
        m.AddEffect(EFFECT_DELAY, v, editor, -1);
        if (after) m.SetStreamFormat(channels, after);
        std::vector<int16_t> x(2000 * channels, 0), expected = x;
        x[0] = expected[delay * channels] = 500;
        EXPECT_EQ(RunChain(m, x, channels, 100), expected) << before << " " << editor << " " << after;
    }
}

// A switched-off effect is skipped, and switching it on again clears its
// history; a new channel count keeps every entry with its values and switch.
TEST(EffectManager, SwitchesAndChannelChanges) {
    CEffectManager m;
    int32_t v[10] = {1}; // DELAY of 960 samples
    m.AddEffect(EFFECT_DELAY, v, 48000, -1);
    m.AddEffect(EFFECT_LIMITTER, InitialValues(EFFECT_LIMITTER).data(), 48000, -1);
    m.SetEffectEnable(1, 0); // the limiter is off: full level passes
    std::vector<int16_t> x(480, 0), zeros(2000, 0);
    x[0] = 30000;
    EXPECT_EQ(RunChain(m, x, 1, 480), std::vector<int16_t>(480, 0)); // the impulse is now in the line
    m.SetEffectEnable(0, 0);
    EXPECT_EQ(RunChain(m, x, 1, 480), x);
    m.SetEffectEnable(0, 1);
    EXPECT_EQ(RunChain(m, zeros, 1, 480), zeros);
    m.SetStreamFormat(2, 48000);
    EXPECT_EQ(Types(m), (std::vector<int>{EFFECT_DELAY, EFFECT_LIMITTER}));
    EXPECT_EQ(std::vector<int>({m.GetEffectEnable(0), m.GetEffectEnable(1)}), std::vector<int>({1, 0}));
    x.assign(2 * 1000, 0);
    x[1] = 30000; // right, frame 0
    EXPECT_EQ(RunChain(m, x, 2, 1000)[2 * 960 + 1], 30000);
    // Nonsense formats are ignored: the right channel's delay stays 960.
    m.SetStreamFormat(3, 48000);
    m.SetStreamFormat(2, 0);
    EXPECT_EQ(RunChain(m, x, 2, 1000)[2 * 960 + 1], 30000);
}

// The sound thread runs blocks while the UI thread edits the chain: every
// operation must stay consistent (run under the sanitizers).
TEST(EffectManager, EditsWhileBlocksRun) {
    CEffectManager m;
    m.SetStreamFormat(2, 48000);
    std::atomic<bool> stop{false};
    std::atomic<int> blocks{0}, shortBlocks{0};
    std::thread sound([&] {
        for (std::vector<int16_t> block = Noise(960, 9); !stop.load(); ++blocks) {
            shortBlocks += m.ProcessChain(block.data(), 960) != 960;
            m.ReadChainOutput(block.data(), 960);
        }
    });
    for (int i = 0; i < 300 || blocks.load() < 10; ++i) {
        int type = i % EFFECT_TYPE_COUNT;
        m.AddEffect(type, InitialValues(type).data(), 48000, i % 3 == 0 ? 0 : -1);
        m.SetEffectParams(i % 10, InitialValues(type).data(), 48000);
        m.SetEffectEnable(i % 10, i % 2);
        m.MoveEffect(i % 10, (i * 7) % 10);
        if (i % 2) m.RemoveEffect((i * 3) % 10);
        if (i % 50 == 0) m.SetStreamFormat(1 + (i / 50) % 2, 48000);
    }
    stop = true;
    sound.join();
    EXPECT_EQ(shortBlocks.load(), 0);
    for (int p = 0; p < 10; ++p, m.RemoveEffect(0)) { // each position comes to the front in turn
        const int t = m.GetEffectType(0);
        EXPECT_TRUE(t >= -1 && t < EFFECT_TYPE_COUNT);
        EXPECT_EQ(m.GetEffectEnable(0) == -1, t == -1);
    }
    // A block after the storm still runs: an empty chain passes it.
    std::vector<int16_t> x = Noise(960, 10);
    EXPECT_EQ(RunChain(m, x, 2, 480), x);
}

} // namespace
