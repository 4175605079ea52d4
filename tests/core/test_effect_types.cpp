// The twenty-one effect types on impulse, step and sine inputs. Expected values
// come from the definitions worked out by hand (delays, echo gains, clipping
// points) or from the filters' transfer functions evaluated in the frequency
// domain, never from the code under test.
#include "effects/CBaseEffect.h"
#include "effects/CTremolo.h"
#include "effects/CWau.h"
#include "effects/EffectTypes.h"
#include "tests/core/EngineTestUtil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <map>
#include <memory>
#include <tuple>
#include <vector>

using enginetest::InitialValues;

namespace {

constexpr double kPi = 3.14159265358979323846;

std::unique_ptr<CBaseEffect> Make(int type, std::vector<int32_t> values, int rate) {
    values.resize(EFFECT_MAX_VALUES, 0);
    std::unique_ptr<CBaseEffect> e(NewEffectOfType(type));
    if (e) e->SetParams(values.data(), rate);
    return e;
}

std::vector<double> Apply(CBaseEffect& e, std::vector<double> x) {
    e.Process(x.data(), static_cast<int32_t>(x.size()));
    return x;
}

// n samples of an impulse ('i'), a ramp x[i] = i ('r') or a constant 1 ('1').
std::vector<double> Input(char kind, size_t n) {
    std::vector<double> x(n, kind == '1' ? 1.0 : 0.0);
    for (size_t i = 0; i < n; ++i)
        x[i] = kind == 'r' ? static_cast<double>(i) : kind == 'i' ? i == 0 : x[i];
    return x;
}

std::vector<double> Sine(size_t n, double freq, double rate, double level = 1.0) {
    std::vector<double> x(n);
    for (size_t i = 0; i < n; ++i)
        x[i] = level * std::sin(2.0 * kPi * freq * static_cast<double>(i) / rate);
    return x;
}

// Peak of |x| over [from, to).
double Peak(const std::vector<double>& x, size_t from, size_t to) {
    double p = 0.0;
    for (size_t i = from; i < to && i < x.size(); ++i)
        p = std::max(p, std::fabs(x[i]));
    return p;
}

// H(e^jw) of the allpass section A(z) = (a + b z^-1 + z^-2) / (1 + b z^-1 + a z^-2),
// b from the centre frequency.
std::complex<double> Allpass(double a, double centre, double freq, double rate) {
    double b = -(a + 1.0) * std::cos(2.0 * kPi * centre / rate);
    std::complex<double> z1 = std::polar(1.0, -2.0 * kPi * freq / rate);
    return (a + b * z1 + z1 * z1) / (1.0 + b * z1 + a * z1 * z1);
}

// ---------------------------------------------------------------- memoryless types

TEST(EffectTypes, MemorylessMappings) {
    const double atan10 = 1.4711276743037347; // atan(10)
    // What, type, values, in, out.
    const std::tuple<const char*, int, std::vector<int32_t>, double, double> cases[] = {
        {"compressor full scale", EFFECT_COMPRESSOR, {50, 50, 50}, 1.0, 0.7},
        {"compressor inside threshold", EFFECT_COMPRESSOR, {50, 50, 50}, 0.1, 0.1 * 0.7 / 0.28},
        {"compressor just above threshold", EFFECT_COMPRESSOR, {50, 50, 50}, 0.3, (0.1 * 0.1 + 0.2) * 2.5},
        {"compressor gain 100 doubles the ceiling", EFFECT_COMPRESSOR, {50, 50, 100}, 1.0, 1.4},
        {"compressor threshold 100", EFFECT_COMPRESSOR, {100, 50, 50}, 1.0, 0.7},
        {"compressor flat", EFFECT_COMPRESSOR, {0, 0, 50}, 0.8, 0.0},
        {"distortion small", EFFECT_DISTORTION, {50, 50}, 0.05, 0.25},
        {"distortion clipped", EFFECT_DISTORTION, {50, 50}, 0.5, 0.5},
        {"distortion drive 0", EFFECT_DISTORTION, {0, 50}, 0.9, 0.0},
        {"soft clipping zero", EFFECT_SOFT_CLIPPING, {10, 1}, 0.0, 0.0},
        {"soft clipping 1.0", EFFECT_SOFT_CLIPPING, {10, 1}, 1.0, atan10 / (kPi / 2)},
        {"soft clipping new drive", EFFECT_SOFT_CLIPPING, {10000, 1}, -1.0, -(1 - 2 / (kPi * 10000))},
        {"soft clipping near level", EFFECT_SOFT_CLIPPING, {10000, 2}, 1.0, 2.0 * (1 - 2 / (kPi * 10000))},
        {"soft clipping zeros are silent", EFFECT_SOFT_CLIPPING, {0, 0}, 0.7, 0.0},
        {"soft clipping new level", EFFECT_SOFT_CLIPPING, {10000, 2}, -1.0, -2.0 * (1 - 2 / (kPi * 10000))},
        {"limiter above", EFFECT_LIMITTER, {30}, 0.5, 0.3},
        {"limiter inside", EFFECT_LIMITTER, {30}, 0.2, 0.2},
        {"gate at threshold", EFFECT_NOISE_GATE, {50}, 0.02, 0.0},
        {"gate above", EFFECT_NOISE_GATE, {50}, 0.0201, 0.0201},
        {"gate 100 is 0.04", EFFECT_NOISE_GATE, {100}, 0.039, 0.0},
    };
    // One instance per type: each row's values must replace what the one before left.
    std::map<int, std::unique_ptr<CBaseEffect>> made;
    for (auto [what, type, values, in, out] : cases) {
        if (!made[type]) made[type].reset(NewEffectOfType(type));
        values.resize(EFFECT_MAX_VALUES, 0);
        made[type]->SetParams(values.data(), 48000);
        const std::vector<double> y = Apply(*made[type], {in, -in}); // every mapping is odd
        EXPECT_NEAR(y[0], out, 1e-4) << what;
        EXPECT_NEAR(y[1], -out, 1e-4) << what << ", negated";
    }
}

// ---------------------------------------------------------------- responses in time

// The impulse and `count` repeats `step` apart, each `gain` times the one before.
std::map<size_t, double> Echoes(size_t step, double gain, int count) {
    std::map<size_t, double> taps{{0, 1.0}};
    for (int k = 1; k <= count; ++k)
        taps[k * step] = std::pow(gain, k);
    return taps;
}

// Impulse responses are checked whole (every sample not listed is 0). A ramp
// makes a modulated delay readable (y[n] = n - delay, or 2n - D - swing for
// CHORUS, which adds the input); a constant 1 shows a modulated gain. The LFOs
// start at 0: a quarter period in they sit at their top, three quarters at
// their bottom.
TEST(EffectTypes, ResponsesInTime) {
    // What, type, values, rate, input, length, the samples checked.
    using Case =
        std::tuple<const char*, int, std::vector<int32_t>, int, char, size_t, std::map<size_t, double>>;
    const Case cases[] = {
        {"delay 20 ms", EFFECT_DELAY, {1}, 48000, 'i', 2000, {{960, 1.0}}},
        {"delay 0 passes", EFFECT_DELAY, {0}, 48000, 'i', 100, {{0, 1.0}}},
        {"negative delay counts as 0", EFFECT_DELAY, {-30}, 48000, 'i', 100, {{0, 1.0}}},
        {"delay 1 s at 8000", EFFECT_DELAY, {50}, 8000, 'i', 9000, {{8000, 1.0}}},
        {"delay limited to the line", EFFECT_DELAY, {100}, 192000, 'i', 262144, {{262143, 1.0}}},
        {"huge delay limited to the line", EFFECT_DELAY, {2000000000}, 48000, 'i', 262144, {{262143, 1.0}}},
        {"delay echo", EFFECT_DELAY_ECHO, {1, 3, 50}, 48000, 'i', 5000, Echoes(960, .5, 3)},
        // 1 s at 32000 fits the line (262144) 8 times: the ninth repeat is cut.
        {"echo repeats cut", EFFECT_DELAY_ECHO, {50, 10, 30}, 32000, 'i', 300000, Echoes(32000, .3, 8)},
        {"delay echo decay 0 passes", EFFECT_DELAY_ECHO, {1, 3, 0}, 48000, 'i', 3000, {{0, 1.0}}},
        {"delay echo delay 0", EFFECT_DELAY_ECHO, {0, 5, 50}, 48000, 'i', 100, {{0, 1.0}}},
        {"delay echo negative repeats is silent", EFFECT_DELAY_ECHO, {1, -1, 50}, 48000, 'i', 2000, {}},
        {"echo", EFFECT_ECHO, {}, 48000, 'i', 7000, {{0, 1.0}, {2000, 0.8}, {4000, 0.7}, {6000, 0.6}}},
        {"echo at 8000", EFFECT_ECHO, {}, 8000, 'i', 7000, {{0, 1.0}, {2000, 0.8}, {4000, 0.7}, {6000, 0.6}}},
        {"reverb 10 ms 90 %", EFFECT_REVERB, {10, 0, 90}, 48000, 'i', 1000, {{0, 1.0}, {480, 0.9}}},
        {"reverb delay 0 is x(1+g)", EFFECT_REVERB, {0, 77, 50}, 48000, 'i', 100, {{0, 1.5}}},
        {"chorus all 0 doubles", EFFECT_CHORUS, {0, 0, 0}, 48000, 'i', 100, {{0, 2.0}}},
        {"flanger all 0 doubles", EFFECT_FLANGER, {0, 0, 0}, 48000, 'i', 100, {{0, 2.0}}},
        {"chorus fixed delay", EFFECT_CHORUS, {50, 0, 0}, 48000, 'i', 2000, {{0, 1.0}, {1200, 1.0}}},
        {"flanger fixed delay", EFFECT_FLANGER, {50, 0, 0}, 48000, 'i', 200, {{0, 1.0}, {96, 1.0}}},
        {"vibrato depth 0 passes", EFFECT_VIBRATO, {0, 50}, 48000, 'i', 100, {{0, 1.0}}},
        {"vibrato rate 0 sits at D", EFFECT_VIBRATO, {50, 0}, 48000, 'i', 300, {{96, 1.0}}},
        {"through", EFFECT_THROUGH, {}, 48000, 'i', 50, {{0, 1.0}}},
        {"tremolo depth 0", EFFECT_TREMOLO, {0, 0}, 48000, 'i', 50, {{0, 1.0}}},
        {"fir lpf cut-off 0 is silent", EFFECT_FIR_LPF, {0}, 48000, 'i', 200, {}},
        {"fir hpf cut-off 0 is a 32-sample delay", EFFECT_FIR_HPF, {0}, 48000, 'i', 200, {{32, 1.0}}},
        // D 1200, swing 480 at 0.1 Hz: trunc(480 sin) is 75 at 12000, 148 at 24000.
        {"chorus swing", EFFECT_CHORUS, {50, 50, 50}, 48000, 'r', 24001, {{12000, 22725}, {24000, 46652}}},
        // The delay swings between 0 and 2D (D 96) at 5 Hz.
        {"vibrato swing", EFFECT_VIBRATO, {50, 50}, 48000, 'r', 7201, {{2400, 2208}, {7200, 7200}}},
        // 15 Hz; the gain swings by the depth around 1.
        {"tremolo depth 100", EFFECT_TREMOLO, {100, 50}, 48000, '1', 2401, {{800, 2.0}, {2400, 0.0}}},
        {"tremolo depth 50", EFFECT_TREMOLO, {50, 50}, 48000, '1', 2401, {{800, 1.5}, {2400, 0.5}}},
    };
    for (const auto& [what, type, values, rate, input, length, taps] : cases) {
        std::vector<double> y = Apply(*Make(type, values, rate), Input(input, length));
        for (size_t i = 0; i < y.size(); ++i) {
            auto it = taps.find(i);
            if (it != taps.end() || input == 'i') {
                ASSERT_NEAR(y[i], it == taps.end() ? 0.0 : it->second, 1e-12) << what << " at " << i;
            }
        }
    }
}

// The LFOs restart every ten seconds, so their counters never overflow.
TEST(EffectTypes, LfoRestartsEveryTenSeconds) {
    auto e = Make(EFFECT_TREMOLO, {100, 50}, 1000);
    auto* t = static_cast<CTremolo*>(e.get());
    Apply(*t, std::vector<double>(9999, 1.0));
    EXPECT_EQ(t->GetCounter(), 9999);
    Apply(*t, {1.0});
    EXPECT_EQ(t->GetCounter(), 0);
}

// ---------------------------------------------------------------- FIR filters

// The design written out again from its definition (windowed ideal response),
// then evaluated as a frequency response: the expected amplitude of a sine.
double FirGain(int type, double f1, double f2, double freq, double rate) {
    auto lowPass = [](double f, int n) { return n == 0 ? 2 * f : std::sin(2 * kPi * f * n) / (kPi * n); };
    std::complex<double> sum = 0.0;
    for (int n = -32; n <= 32; ++n) {
        double ideal = 0;
        if (type == EFFECT_FIR_LPF) ideal = lowPass(f1 / rate, n);
        if (type == EFFECT_FIR_HPF) ideal = (n == 0 ? 1.0 : 0.0) - lowPass(f1 / rate, n);
        if (type == EFFECT_FIR_BPF) ideal = lowPass(f2 / rate, n) - lowPass(f1 / rate, n);
        double window = 0.5 * (1 - std::cos(kPi * (n + 32) / 32.0));
        sum += ideal * window * std::polar(1.0, -2 * kPi * freq / rate * (n + 32));
    }
    return std::abs(sum);
}

// ---------------------------------------------------------------- allpass-based filters

// The equaliser's band-passes summed, each weighted by its gain; the bands'
// widths and centres as its documentation lists them.
double EqualizerGain(const std::vector<int32_t>& db, double freq, double rate) {
    const double bands[9][2] = {{25, 30},   {50, 60},     {100, 120},   {200, 240},  {400, 480},
                                {800, 960}, {1600, 1920}, {3200, 3840}, {6400, 7680}};
    std::complex<double> sum = 0.0;
    for (int k = 0; k < 9; ++k) {
        double wb = 2.0 * kPi * bands[k][0] / rate;
        double a = (std::cos(wb) + 1.0 - std::sin(wb)) / (std::cos(wb) + 1.0 + std::sin(wb));
        sum += (1.0 - Allpass(a, bands[k][1], freq, rate)) / 2.0 * std::pow(10.0, db[k] / 20.0);
    }
    return std::abs(sum);
}

// The gain at `freq` from the transfer functions: FIR, notch (allpass A:
// (1 + A) / 2, inverse (1 - A) / 2), equaliser.
double ModelGain(int type, const std::vector<int32_t>& v, double freq) {
    if (type == EFFECT_FIR_LPF || type == EFFECT_FIR_HPF || type == EFFECT_FIR_BPF)
        return FirGain(type, v[0], v.size() > 1 ? v[1] : 0, freq, 48000);
    if (type == EFFECT_NOTCH) return std::abs((1.0 + Allpass(v[0] / 100.0, v[1], freq, 48000)) / 2.0);
    if (type == EFFECT_INV_NOTCH) return std::abs((1.0 - Allpass(v[0] / 100.0, v[1], freq, 48000)) / 2.0);
    return EqualizerGain(v, freq, 48000);
}

// A sine (a step at 0 Hz), measured once the filter has settled.
TEST(EffectTypes, FilterGainsFollowTheTransferFunctions) {
    const std::vector<int32_t> flat(9, 0);
    // Type, values, the frequencies measured.
    const std::tuple<int, std::vector<int32_t>, std::vector<double>> cases[] = {
        {EFFECT_FIR_LPF, {2000}, {100}},
        {EFFECT_FIR_LPF, {1000}, {8000}},
        {EFFECT_FIR_LPF, {4000}, {4000}},
        {EFFECT_FIR_HPF, {3000}, {12000, 100, 0}},
        {EFFECT_FIR_BPF, {2000, 6000}, {4000, 100, 16000}},
        {EFFECT_FIR_BPF, {0, 2000}, {1234}}, // the LPF at FH
        {EFFECT_NOTCH, {80, 1000}, {1000, 300, 5000, 0}},
        {EFFECT_NOTCH, {95, 2500}, {2500}},
        {EFFECT_INV_NOTCH, {99, 1000}, {1000, 3000}},
        {EFFECT_INV_NOTCH, {90, 4000}, {500}},
        {EFFECT_INV_NOTCH, {90, 1000}, {0}},
        {EFFECT_EQUALIZER, flat, {960, 5000, 0}}, // the band-passes summed, not the input
        {EFFECT_EQUALIZER, {-20, -20, -20, -20, -20, 20, -20, -20, -20}, {960}},
        {EFFECT_EQUALIZER, {0, 0, 0, 0, 0, 0, 0, 0, -20}, {7680}},
        {EFFECT_EQUALIZER, {20, -20, -20, -20, -20, -20, -20, -20, -20}, {30}},
        {EFFECT_EQUALIZER, {5, -3, 7, 0, 12, -8, 3, 20, -20}, {2000}}};
    for (const auto& [type, values, freqs] : cases)
        for (double freq : freqs) {
            std::vector<double> x =
                freq > 0 ? Sine(96000, freq, 48000, 0.1) : std::vector<double>(96000, 0.1);
            const double measured = Peak(Apply(*Make(type, values, 48000), x), 48000, 96000) / 0.1;
            const double expected = ModelGain(type, values, freq);
            const double tolerance = type == EFFECT_EQUALIZER ? 0.01 * expected + 0.002
                                     : type == EFFECT_NOTCH || type == EFFECT_INV_NOTCH ? 0.005
                                                                                        : 1e-3;
            EXPECT_NEAR(measured, expected, tolerance) << type << " at " << freq << " Hz";
        }
}

// The wau's centre sweeps 200..1800 Hz from 1000 Hz, starting on the second
// sample: a quarter second in it sits at 1800 Hz. It takes no values, only the
// rate, and whatever its centre it stops DC.
TEST(EffectTypes, WauSweep) {
    auto b = [](double centre, double rate) { return -1.95 * std::cos(2 * kPi * centre / rate); };
    auto e = Make(EFFECT_WAU, {}, 48000);
    auto* w = static_cast<CWau*>(e.get());
    EXPECT_NEAR(Apply(*e, {1.0})[0], (1.0 - 0.95) / 2, 1e-15); // s0 = 1, ap = a
    EXPECT_DOUBLE_EQ(w->GetSection().b, b(1000, 48000));
    Apply(*e, std::vector<double>(12000, 0.0));
    EXPECT_NEAR(w->GetSection().b, b(1800, 48000), 1e-12);
    EXPECT_LT(Peak(Apply(*Make(EFFECT_WAU, {}, 48000), Input('1', 6000)), 4000, 6000), 1e-3);
    EXPECT_DOUBLE_EQ(static_cast<CWau*>(Make(EFFECT_WAU, {}, 24000).get())->GetSection().b, b(1000, 24000));
}

// ---------------------------------------------------------------- every type

// For every type: the start values lie in their ranges (the chain file's
// check keeps them); a rate of 0, which would divide by zero in every LFO, is
// ignored; ProcessPair equals two Process calls, whether the two instances are
// in step (same values: shared modulation) or not (each its own). The history
// an impulse leaves is cleared by a switch off and on or a new rate, and kept
// by a switch on while on or the same rate again.
TEST(EffectTypes, EveryTypeStartsInRangeKeepsHistoryRightAndPairsLikeTwoSingles) {
    for (int type = 0; type < EFFECT_TYPE_COUNT; ++type) {
        const EffectTypeInfo* info = GetEffectTypeInfo(type);
        ASSERT_TRUE(info && info->valuesRead <= EFFECT_MAX_VALUES) << type;
        for (int j = 0; j < info->params; ++j) {
            const auto& p = info->param[j];
            EXPECT_TRUE(p.min < p.max && p.min <= p.initial && p.initial <= p.max) << type << " " << j;
        }
        for (double v : Apply(*Make(type, InitialValues(type), 0), Sine(4800, 440, 48000, 0.5)))
            ASSERT_TRUE(std::isfinite(v)) << type;
        for (bool same : {true, false}) {
            std::vector<int32_t> v = InitialValues(type), w = v;
            for (auto& value : w)
                value = same ? value : value / 2 + 1;
            auto l1 = Make(type, v, 44100), r1 = Make(type, w, 44100);
            auto l2 = Make(type, v, 44100), r2 = Make(type, w, 44100);
            std::vector<double> x = Sine(3000, 330, 44100, 0.6), y = Sine(3000, 1700, 44100, 0.4);
            std::vector<double> xs = x, ys = y;
            for (size_t at = 0; at < x.size(); at += 500) {
                l1->ProcessPair(*r1, x.data() + at, y.data() + at, 500);
                l2->Process(xs.data() + at, 500);
                r2->Process(ys.data() + at, 500);
            }
            ASSERT_EQ(x, xs) << type << (same ? " in step" : " apart");
            ASSERT_EQ(y, ys) << type << (same ? " in step" : " apart");
        }
        // 0: untouched, 1: on while on, 2: off and on, 3: the same rate, 4: another rate (DELAY's
        // start value is 1 s). The wau takes no values: its rate is checked by WauSweep.
        std::vector<double> untouched;
        for (int action = 0; action < (type == EFFECT_WAU ? 3 : 5); ++action) {
            std::vector<int32_t> v = InitialValues(type);
            auto e = Make(type, v, 48000);
            Apply(*e, Input('i', 8));
            if (action == 1) e->SetEnable(1);
            if (action == 2) e->SetEnable(0), e->SetEnable(1);
            if (action >= 3) e->SetParams(v.data(), action == 3 ? 48000 : 44100);
            const std::vector<double> tail = Apply(*e, std::vector<double>(60000, 0.0));
            if (action == 0) untouched = tail;
            const bool cleared = action == 2 || action == 4;
            ASSERT_TRUE(tail == (cleared ? std::vector<double>(60000, 0.0) : untouched))
                << type << " action " << action;
        }
    }
    EXPECT_EQ(GetEffectTypeInfo(EFFECT_TYPE_COUNT), nullptr);
    EXPECT_EQ(NewEffectOfType(-1), nullptr);
}

} // namespace
