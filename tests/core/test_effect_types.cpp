// The twenty-one effect types on impulse, step and sine inputs. Expected values
// come from the definitions worked out by hand (delays, echo gains, clipping
// points) or from the filters' transfer functions evaluated in the frequency
// domain, never from the code under test.
#include "effects/CBaseEffect.h"
#include "effects/CTremolo.h"
#include "effects/CWau.h"
#include "effects/EffectTypes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <map>
#include <memory>
#include <vector>

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

std::vector<double> Impulse(size_t n) {
    std::vector<double> x(n, 0.0);
    x[0] = 1.0;
    return x;
}

std::vector<double> Ramp(size_t n) {
    std::vector<double> x(n);
    for (size_t i = 0; i < n; ++i)
        x[i] = static_cast<double>(i);
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
    const struct {
        const char* what;
        int type;
        std::vector<int32_t> values;
        double in, out;
    } cases[] = {
        {"compressor full scale", EFFECT_COMPRESSOR, {50, 50, 50}, 1.0, 0.7},
        {"compressor negative full scale", EFFECT_COMPRESSOR, {50, 50, 50}, -1.0, -0.7},
        {"compressor inside threshold", EFFECT_COMPRESSOR, {50, 50, 50}, 0.1, 0.1 * 0.7 / 0.28},
        {"compressor just above threshold", EFFECT_COMPRESSOR, {50, 50, 50}, 0.3, (0.1 * 0.1 + 0.2) * 2.5},
        {"compressor gain 100 doubles the ceiling", EFFECT_COMPRESSOR, {50, 50, 100}, 1.0, 1.4},
        {"compressor threshold 100", EFFECT_COMPRESSOR, {100, 50, 50}, 1.0, 0.7},
        {"compressor flat", EFFECT_COMPRESSOR, {0, 0, 50}, 0.8, 0.0},
        {"distortion small", EFFECT_DISTORTION, {50, 50}, 0.05, 0.25},
        {"distortion clipped", EFFECT_DISTORTION, {50, 50}, 0.5, 0.5},
        {"distortion clipped negative", EFFECT_DISTORTION, {50, 50}, -0.5, -0.5},
        {"distortion drive 0", EFFECT_DISTORTION, {0, 50}, 0.9, 0.0},
        {"soft clipping zero", EFFECT_SOFT_CLIPPING, {10, 1}, 0.0, 0.0},
        {"soft clipping 1.0", EFFECT_SOFT_CLIPPING, {10, 1}, 1.0, atan10 / (kPi / 2)},
        {"soft clipping odd", EFFECT_SOFT_CLIPPING, {10, 1}, -1.0, -atan10 / (kPi / 2)},
        {"soft clipping near level", EFFECT_SOFT_CLIPPING, {10000, 2}, 1.0, 2.0 * (1 - 2 / (kPi * 10000))},
        {"soft clipping zeros are silent", EFFECT_SOFT_CLIPPING, {0, 0}, 0.7, 0.0},
        {"limiter above", EFFECT_LIMITTER, {30}, 0.5, 0.3},
        {"limiter below", EFFECT_LIMITTER, {30}, -0.5, -0.3},
        {"limiter inside", EFFECT_LIMITTER, {30}, 0.2, 0.2},
        {"gate at threshold", EFFECT_NOISE_GATE, {50}, 0.02, 0.0},
        {"gate at negative threshold", EFFECT_NOISE_GATE, {50}, -0.02, 0.0},
        {"gate above", EFFECT_NOISE_GATE, {50}, 0.0201, 0.0201},
        {"gate below negative", EFFECT_NOISE_GATE, {50}, -0.5, -0.5},
        {"gate 100 is 0.04", EFFECT_NOISE_GATE, {100}, 0.039, 0.0},
    };
    for (const auto& c : cases) {
        auto e = Make(c.type, c.values, 48000);
        ASSERT_TRUE(e) << c.what;
        EXPECT_NEAR(Apply(*e, {c.in})[0], c.out, 1e-4) << c.what;
    }
    // A freshly built compressor already runs its start values.
    std::unique_ptr<CBaseEffect> built(NewEffectOfType(EFFECT_COMPRESSOR));
    std::vector<double> y = Apply(*built, {1.0, 0.1});
    EXPECT_NEAR(y[0], 0.7, 1e-12);
    EXPECT_NEAR(y[1], 0.1 * 0.7 / 0.28, 1e-12);
}

// ---------------------------------------------------------------- impulse and step responses

// The impulse and `count` repeats `step` apart, each `gain` times the one before.
std::map<size_t, double> Echoes(size_t step, double gain, int count) {
    std::map<size_t, double> taps{{0, 1.0}};
    for (int k = 1; k <= count; ++k)
        taps[k * step] = std::pow(gain, k);
    return taps;
}

TEST(EffectTypes, ImpulseResponses) {
    const struct {
        const char* what;
        int type;
        std::vector<int32_t> values;
        int rate;
        size_t length;
        std::map<size_t, double> taps; // every other output sample is 0
    } cases[] = {
        {"delay 20 ms", EFFECT_DELAY, {1}, 48000, 2000, {{960, 1.0}}},
        {"delay 0 passes", EFFECT_DELAY, {0}, 48000, 100, {{0, 1.0}}},
        {"negative delay counts as 0", EFFECT_DELAY, {-30}, 48000, 100, {{0, 1.0}}},
        {"delay 1 s at 8000", EFFECT_DELAY, {50}, 8000, 9000, {{8000, 1.0}}},
        {"delay limited to the line", EFFECT_DELAY, {100}, 192000, 262144, {{262143, 1.0}}},
        {"huge delay limited to the line", EFFECT_DELAY, {2000000000}, 48000, 262144, {{262143, 1.0}}},
        {"delay echo", EFFECT_DELAY_ECHO, {1, 3, 50}, 48000, 5000, Echoes(960, .5, 3)},
        // 1 s at 32000 fits the line (262144) 8 times: the ninth repeat is cut.
        {"delay echo repeats cut to the line",
         EFFECT_DELAY_ECHO,
         {50, 10, 30},
         32000,
         300000,
         Echoes(32000, .3, 8)},
        {"delay echo decay 0 passes", EFFECT_DELAY_ECHO, {1, 3, 0}, 48000, 3000, {{0, 1.0}}},
        {"delay echo delay 0", EFFECT_DELAY_ECHO, {0, 5, 50}, 48000, 100, {{0, 1.0}}},
        {"delay echo negative repeats is silent", EFFECT_DELAY_ECHO, {1, -1, 50}, 48000, 2000, {}},
        {"echo", EFFECT_ECHO, {}, 48000, 7000, {{0, 1.0}, {2000, 0.8}, {4000, 0.7}, {6000, 0.6}}},
        {"echo at 8000", EFFECT_ECHO, {}, 8000, 7000, {{0, 1.0}, {2000, 0.8}, {4000, 0.7}, {6000, 0.6}}},
        {"reverb 10 ms 90 %", EFFECT_REVERB, {10, 0, 90}, 48000, 1000, {{0, 1.0}, {480, 0.9}}},
        {"reverb delay 0 is x(1+g)", EFFECT_REVERB, {0, 77, 50}, 48000, 100, {{0, 1.5}}},
        {"chorus all 0 doubles", EFFECT_CHORUS, {0, 0, 0}, 48000, 100, {{0, 2.0}}},
        {"flanger all 0 doubles", EFFECT_FLANGER, {0, 0, 0}, 48000, 100, {{0, 2.0}}},
        {"chorus fixed delay", EFFECT_CHORUS, {50, 0, 0}, 48000, 2000, {{0, 1.0}, {1200, 1.0}}},
        {"flanger fixed delay", EFFECT_FLANGER, {50, 0, 0}, 48000, 200, {{0, 1.0}, {96, 1.0}}},
        {"vibrato depth 0 passes", EFFECT_VIBRATO, {0, 50}, 48000, 100, {{0, 1.0}}},
        {"vibrato rate 0 sits at D", EFFECT_VIBRATO, {50, 0}, 48000, 300, {{96, 1.0}}},
        {"through", EFFECT_THROUGH, {}, 48000, 50, {{0, 1.0}}},
        {"tremolo depth 0", EFFECT_TREMOLO, {0, 0}, 48000, 50, {{0, 1.0}}},
        {"fir lpf cut-off 0 is silent", EFFECT_FIR_LPF, {0}, 48000, 200, {}},
        {"fir hpf cut-off 0 is a 32-sample delay", EFFECT_FIR_HPF, {0}, 48000, 200, {{32, 1.0}}},
    };
    for (const auto& c : cases) {
        auto e = Make(c.type, c.values, c.rate);
        ASSERT_TRUE(e) << c.what;
        std::vector<double> y = Apply(*e, Impulse(c.length));
        for (size_t i = 0; i < y.size(); ++i) {
            auto it = c.taps.find(i);
            ASSERT_NEAR(y[i], it == c.taps.end() ? 0.0 : it->second, 1e-12) << c.what << " at " << i;
        }
    }
}

// ---------------------------------------------------------------- LFO types

// A ramp input makes the delay readable from the output: for CHORUS the output
// is x[n - m - D] + x[n], so with x[n] = n the swing m(n) = 2n - D - y[n].
TEST(EffectTypes, ChorusSwingFollowsTheSine) {
    const double rate = 48000, lfo = 0.1, depth = 480, delay = 1200;
    auto e = Make(EFFECT_CHORUS, {50, 50, 50}, 48000);
    std::vector<double> y = Apply(*e, Ramp(60000));
    int mismatches = 0;
    for (size_t i = 2000; i < y.size(); ++i) {
        double m = 2.0 * i - delay - y[i];
        double expected = std::trunc(std::sin(2 * kPi * lfo * i / rate) * depth);
        ASSERT_NEAR(m, expected, 1.0) << i;
        mismatches += m != expected;
    }
    EXPECT_LT(mismatches, 10); // only where rounding sits on an integer
}

TEST(EffectTypes, VibratoDelaySwingsBetweenZeroAndTwoD) {
    auto e = Make(EFFECT_VIBRATO, {50, 50}, 48000); // D 96, 5 Hz
    std::vector<double> y = Apply(*e, Ramp(48000));
    double lo = 1e9, hi = -1e9;
    for (size_t i = 200; i < y.size(); ++i) {
        lo = std::min(lo, i - y[i]);
        hi = std::max(hi, i - y[i]);
    }
    EXPECT_EQ(lo, 0.0);
    EXPECT_EQ(hi, 192.0);
    // A quarter LFO period in (2400 samples at 5 Hz) the delay is at its widest.
    EXPECT_EQ(2400 - y[2400], 192.0);
}

TEST(EffectTypes, TremoloGainSwing) {
    const struct {
        int32_t depth;
        double top, bottom;
    } cases[] = {{100, 2.0, 0.0}, {50, 1.5, 0.5}, {0, 1.0, 1.0}};
    for (const auto& c : cases) {
        auto e = Make(EFFECT_TREMOLO, {c.depth, 50}, 48000); // 15 Hz: a quarter period is 800 samples
        std::vector<double> y = Apply(*e, std::vector<double>(48000, 1.0));
        EXPECT_NEAR(y[800], c.top, 1e-12) << c.depth;
        EXPECT_NEAR(y[2400], c.bottom, 1e-12) << c.depth;
        EXPECT_NEAR(*std::max_element(y.begin(), y.end()), c.top, 1e-9);
        EXPECT_NEAR(*std::min_element(y.begin(), y.end()), c.bottom, 1e-9);
    }
}

TEST(EffectTypes, LfoRestartsEveryTenSeconds) {
    auto e = Make(EFFECT_TREMOLO, {100, 50}, 1000);
    auto* t = static_cast<CTremolo*>(e.get());
    std::vector<double> block(9999, 1.0);
    t->Process(block.data(), 9999);
    EXPECT_EQ(t->GetCounter(), 9999);
    t->Process(block.data(), 1);
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

// Whatever way the filter splits a block internally, every output must be the
// plain sum h[0] x[n] + h[1] x[n-1] + ... + h[64] x[n-64], added in that order.
TEST(EffectTypes, FirEqualsTheDirectSumForAnyBlocking) {
    std::vector<double> x(3000);
    for (size_t i = 0; i < x.size(); ++i)
        x[i] = std::sin(i * 0.37) * 0.5 + std::cos(i * 0.011) * 0.3;
    for (int type : {EFFECT_FIR_LPF, EFFECT_FIR_HPF, EFFECT_FIR_BPF}) {
        std::vector<double> taps = Apply(*Make(type, {1500, 5000}, 48000), Impulse(65));
        std::vector<double> expected(x.size());
        for (size_t n = 0; n < x.size(); ++n)
            for (size_t k = 0; k < 65 && k <= n; ++k)
                expected[n] += taps[k] * x[n - k];
        for (size_t block : {size_t(1), size_t(17), size_t(128), size_t(480), size_t(3000)}) {
            auto e = Make(type, {1500, 5000}, 48000);
            std::vector<double> y = x;
            for (size_t at = 0; at < y.size(); at += block)
                e->Process(y.data() + at, static_cast<int32_t>(std::min(block, y.size() - at)));
            for (size_t n = 0; n < y.size(); ++n)
                ASSERT_EQ(y[n], expected[n]) << type << " block " << block << " n " << n;
        }
    }
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
    const struct {
        int type;
        std::vector<int32_t> values;
        std::vector<double> freqs;
    } cases[] = {
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
        {EFFECT_EQUALIZER, {5, -3, 7, 0, 12, -8, 3, 20, -20}, {2000}},
    };
    for (const auto& c : cases)
        for (double freq : c.freqs) {
            auto e = Make(c.type, c.values, 48000);
            std::vector<double> x =
                freq > 0 ? Sine(96000, freq, 48000, 0.1) : std::vector<double>(96000, 0.1);
            const double measured = Peak(Apply(*e, x), 48000, 96000) / 0.1;
            const double expected = ModelGain(c.type, c.values, freq);
            const double tolerance = c.type == EFFECT_EQUALIZER ? 0.01 * expected + 0.002
                                     : c.type == EFFECT_NOTCH || c.type == EFFECT_INV_NOTCH ? 0.005
                                                                                            : 1e-3;
            EXPECT_NEAR(measured, expected, tolerance) << c.type << " at " << freq << " Hz";
        }
    // A freshly built notch sits at 1000 Hz.
    std::unique_ptr<CBaseEffect> built(NewEffectOfType(EFFECT_NOTCH));
    EXPECT_LT(Peak(Apply(*built, Sine(48000, 1000, 48000)), 24000, 48000), 0.005);
}

TEST(EffectTypes, WauSweep) {
    std::unique_ptr<CBaseEffect> e(NewEffectOfType(EFFECT_WAU));
    auto* w = static_cast<CWau*>(e.get());
    const double b1000 = -1.95 * std::cos(2 * kPi * 1000 / 48000);
    EXPECT_DOUBLE_EQ(w->GetSection().b, b1000);
    EXPECT_NEAR(Apply(*e, Impulse(1))[0], (1.0 - 0.95) / 2, 1e-15); // s0 = 1, ap = a
    EXPECT_DOUBLE_EQ(w->GetSection().b, b1000);                     // the LFO is at 0 for the first sample
    // The centre sweeps 200..1800 Hz: a quarter second in it sits at 1800 Hz.
    std::unique_ptr<CBaseEffect> f(NewEffectOfType(EFFECT_WAU));
    std::vector<double> zeros(12000, 0.0);
    f->Process(zeros.data(), 12000);
    f->Process(zeros.data(), 1);
    EXPECT_NEAR(static_cast<CWau*>(f.get())->GetSection().b, -1.95 * std::cos(2 * kPi * 1800 / 48000), 1e-12);
    // Whatever its centre, it stops DC.
    EXPECT_LT(Peak(Apply(*Make(EFFECT_WAU, {}, 48000), std::vector<double>(6000, 1.0)), 4000, 6000), 1e-3);
    // It takes no values, but it does take the rate.
    auto r = Make(EFFECT_WAU, {}, 24000);
    EXPECT_DOUBLE_EQ(static_cast<CWau*>(r.get())->GetSection().b, -1.95 * std::cos(2 * kPi * 1000 / 24000));
}

// ---------------------------------------------------------------- history and rate

std::vector<int32_t> Values(int type) {
    const EffectTypeInfo* info = GetEffectTypeInfo(type);
    std::vector<int32_t> v(EFFECT_MAX_VALUES, 0);
    for (int j = 0; j < info->params; ++j)
        v[j] = info->param[j].initial;
    return v;
}

// Switching off and on, or a new rate, clears the history; switching on while
// on, or the same rate again, keeps it.
TEST(EffectTypes, HistoryClearedByRestartOrNewRate) {
    const int types[] = {EFFECT_DELAY,   EFFECT_DELAY_ECHO, EFFECT_ECHO,      EFFECT_REVERB,  EFFECT_CHORUS,
                         EFFECT_FLANGER, EFFECT_VIBRATO,    EFFECT_EQUALIZER, EFFECT_FIR_BPF, EFFECT_FIR_HPF,
                         EFFECT_FIR_LPF, EFFECT_NOTCH,      EFFECT_INV_NOTCH, EFFECT_WAU};
    for (int type : types) {
        for (int action = 0; action < 4; ++action) {
            if (type == EFFECT_WAU && action >= 2) continue; // takes no values: see WauSweep
            auto e = Make(type, Values(type), 48000);
            std::vector<double> x = Impulse(8);
            e->Process(x.data(), 8);
            std::vector<int32_t> v = Values(type);
            if (action == 0) e->SetEnable(1);
            if (action == 1) e->SetEnable(0), e->SetEnable(1);
            if (action == 2) e->SetParams(v.data(), 48000);
            if (action == 3) e->SetParams(v.data(), 44100);
            std::vector<double> z(60000, 0.0); // DELAY's start value is 1 s
            double tail = Peak(Apply(*e, z), 0, z.size());
            if (action % 2)
                EXPECT_EQ(tail, 0.0) << type << " action " << action;
            else
                EXPECT_GT(tail, 1e-6) << type << " action " << action;
        }
    }
}

// ProcessPair must equal two Process calls, whether the two instances are in
// step (same values: shared modulation) or not (different values: each its own).
TEST(EffectTypes, PairEqualsTwoSingles) {
    for (int type = 0; type < EFFECT_TYPE_COUNT; ++type) {
        for (bool same : {true, false}) {
            std::vector<int32_t> v = Values(type), w = v;
            if (!same)
                for (auto& value : w)
                    value = value / 2 + 1;
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
    }
}

TEST(EffectTypes, UnusableRatesAreIgnored) {
    // A rate of 0 would divide by zero in every LFO; the effect keeps its own.
    for (int type = 0; type < EFFECT_TYPE_COUNT; ++type) {
        auto e = Make(type, Values(type), 0);
        ASSERT_TRUE(e);
        for (double v : Apply(*e, Sine(4800, 440, 48000, 0.5)))
            ASSERT_TRUE(std::isfinite(v)) << type;
    }
}

// Every start value must survive the chain file's range check.
TEST(EffectTypes, StartValuesLieInTheirRanges) {
    for (int t = 0; t < EFFECT_TYPE_COUNT; ++t) {
        const EffectTypeInfo* info = GetEffectTypeInfo(t);
        ASSERT_TRUE(info && info->valuesRead <= EFFECT_MAX_VALUES) << t;
        for (int j = 0; j < info->params; ++j) {
            const auto& p = info->param[j];
            EXPECT_TRUE(p.min < p.max && p.min <= p.initial && p.initial <= p.max) << t << " " << j;
        }
    }
    EXPECT_EQ(GetEffectTypeInfo(EFFECT_TYPE_COUNT), nullptr);
    EXPECT_EQ(NewEffectOfType(-1), nullptr);
}

} // namespace
