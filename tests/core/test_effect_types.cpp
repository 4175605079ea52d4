// The twenty-one effect types on impulse, step and sine inputs. Expected values
// come from the definitions worked out by hand (delays, echo gains, clipping
// points) or from the filters' transfer functions evaluated in the frequency
// domain, never from the code under test.
#include "tests/core/EffectTestUtil.h"

#include "effects/CChorus.h"
#include "effects/CCompressor.h"
#include "effects/CDelay.h"
#include "effects/CDelayEcho.h"
#include "effects/CEqualizer.h"
#include "effects/CFIR_LPF.h"
#include "effects/CFlanger.h"
#include "effects/CNotch.h"
#include "effects/CReverb.h"
#include "effects/CTremolo.h"
#include "effects/CWau.h"

#include <gtest/gtest.h>

#include <map>

using namespace fxtest;

namespace {

// ---------------------------------------------------------------- memoryless types

struct PointCase {
    const char* what;
    int type;
    std::vector<int32_t> values;
    double in;
    double out;
};

TEST(EffectTypes, MemorylessMappings) {
    const double atan10 = 1.4711276743037347;  // atan(10)
    const PointCase cases[] = {
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
        {"soft clipping approaches level", EFFECT_SOFT_CLIPPING, {10000, 2}, 1.0, 2.0 * (1 - 2 / (kPi * 10000))},
        {"soft clipping zeros are silent", EFFECT_SOFT_CLIPPING, {0, 0}, 0.7, 0.0},
        {"limiter above", EFFECT_LIMITTER, {30}, 0.5, 0.3},
        {"limiter below", EFFECT_LIMITTER, {30}, -0.5, -0.3},
        {"limiter inside", EFFECT_LIMITTER, {30}, 0.2, 0.2},
        {"gate at threshold", EFFECT_NOISE_GATE, {50}, 0.02, 0.0},
        {"gate at negative threshold", EFFECT_NOISE_GATE, {50}, -0.02, 0.0},
        {"gate above", EFFECT_NOISE_GATE, {50}, 0.0201, 0.0201},
        {"gate below negative", EFFECT_NOISE_GATE, {50}, -0.5, -0.5},
        {"gate 100 is 0.04", EFFECT_NOISE_GATE, {100}, 0.039, 0.0},
        {"through", EFFECT_THROUGH, {}, 0.123, 0.123},
        {"tremolo depth 0", EFFECT_TREMOLO, {0, 50}, 0.4, 0.4},
    };
    for (const PointCase& c : cases) {
        auto e = Make(c.type, c.values, 48000);
        ASSERT_TRUE(e) << c.what;
        std::vector<double> y = Apply(*e, {c.in});
        EXPECT_NEAR(y[0], c.out, 1e-4) << c.what;
    }
}

TEST(EffectTypes, CompressorDefaultsEqualConstruction) {
    auto made = Make(EFFECT_COMPRESSOR, {50, 50, 50}, 48000);
    std::unique_ptr<CBaseEffect> built(NewEffectOfType(EFFECT_COMPRESSOR));
    auto* a = static_cast<CCompressor*>(made.get());
    auto* b = static_cast<CCompressor*>(built.get());
    EXPECT_DOUBLE_EQ(a->GetThreshold(), 0.2);
    EXPECT_DOUBLE_EQ(a->GetRatio(), 0.1);
    EXPECT_NEAR(a->GetGain(), 2.4999999999999996, 1e-15);
    EXPECT_DOUBLE_EQ(b->GetThreshold(), 0.2);
    EXPECT_NEAR(b->GetGain(), 0.7 / 0.28, 1e-15);
}

// ---------------------------------------------------------------- impulse responses

struct ImpulseCase {
    const char* what;
    int type;
    std::vector<int32_t> values;
    int rate;
    size_t length;
    std::map<size_t, double> taps;  // every other output sample is 0
};

TEST(EffectTypes, ImpulseResponses) {
    const ImpulseCase cases[] = {
        {"delay 20 ms", EFFECT_DELAY, {1}, 48000, 2000, {{960, 1.0}}},
        {"delay 0 passes", EFFECT_DELAY, {0}, 48000, 100, {{0, 1.0}}},
        {"delay 1 s at 8000", EFFECT_DELAY, {50}, 8000, 9000, {{8000, 1.0}}},
        {"delay limited to the line", EFFECT_DELAY, {100}, 192000, 262144, {{262143, 1.0}}},
        {"delay echo 3 repeats halving", EFFECT_DELAY_ECHO, {1, 3, 50}, 48000, 5000,
         {{0, 1.0}, {960, 0.5}, {1920, 0.25}, {2880, 0.125}}},
        {"delay echo decay 0 passes", EFFECT_DELAY_ECHO, {1, 3, 0}, 48000, 3000, {{0, 1.0}}},
        {"delay echo delay 0", EFFECT_DELAY_ECHO, {0, 5, 50}, 48000, 100, {{0, 1.0}}},
        {"delay echo negative repeats is silent", EFFECT_DELAY_ECHO, {1, -1, 50}, 48000, 2000, {}},
        {"echo", EFFECT_ECHO, {}, 48000, 7000, {{0, 1.0}, {2000, 0.8}, {4000, 0.7}, {6000, 0.6}}},
        {"echo counts samples at any rate", EFFECT_ECHO, {}, 8000, 7000,
         {{0, 1.0}, {2000, 0.8}, {4000, 0.7}, {6000, 0.6}}},
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
    for (const ImpulseCase& c : cases) {
        auto e = Make(c.type, c.values, c.rate);
        ASSERT_TRUE(e) << c.what;
        std::vector<double> y = Apply(*e, Impulse(c.length));
        for (size_t i = 0; i < y.size(); ++i) {
            auto it = c.taps.find(i);
            double expected = it == c.taps.end() ? 0.0 : it->second;
            ASSERT_NEAR(y[i], expected, 1e-12) << c.what << " at " << i;
        }
    }
}

struct StepCase {
    const char* what;
    int type;
    std::vector<int32_t> values;
    size_t settle;   // the output has settled after this many samples
    double before;   // level at the sample before `settle` counts (where known)
    double after;    // settled level of a unit step
    double tolerance;
};

// A unit step settles at the sum of the impulse response: the DC gain.
TEST(EffectTypes, StepResponses) {
    const StepCase cases[] = {
        {"delay reaches 1 after D", EFFECT_DELAY, {1}, 960, 0.0, 1.0, 0},
        {"delay echo sums its repeats", EFFECT_DELAY_ECHO, {1, 3, 50}, 2880, 1.75, 1.875, 1e-12},
        {"echo sums its taps", EFFECT_ECHO, {}, 6000, 2.5, 3.1, 1e-12},
        {"reverb reaches 1 + g", EFFECT_REVERB, {10, 0, 90}, 480, 1.0, 1.9, 1e-12},
        {"flanger without sweep reaches 2", EFFECT_FLANGER, {50, 0, 0}, 96, 1.0, 2.0, 0},
        {"vibrato without sweep reaches 1", EFFECT_VIBRATO, {50, 0}, 96, 0.0, 1.0, 0},
        {"notch passes DC", EFFECT_NOTCH, {80, 1000}, 4000, -1, 1.0, 1e-6},
        {"inverse notch stops DC", EFFECT_INV_NOTCH, {90, 1000}, 4000, -1, 0.0, 1e-6},
        {"equalizer band-passes stop DC", EFFECT_EQUALIZER, {0, 0, 0, 0, 0, 0, 0, 0, 0}, 40000, -1, 0.0, 1e-3},
        {"fir hpf stops DC", EFFECT_FIR_HPF, {3000}, 200, -1, 0.0, 0.01},
        {"wau stops DC", EFFECT_WAU, {}, 4000, -1, 0.0, 1e-3},
        {"limiter holds a step at T", EFFECT_LIMITTER, {30}, 1, 0.3, 0.3, 0},
    };
    for (const StepCase& c : cases) {
        auto e = Make(c.type, c.values, 48000);
        std::vector<double> y = Apply(*e, Step(c.settle + 2000));
        if (c.before >= 0) {
            EXPECT_NEAR(y[c.settle - 1], c.before, 1e-12) << c.what;
        }
        for (size_t i = c.settle; i < y.size(); ++i) ASSERT_NEAR(y[i], c.after, c.tolerance) << c.what << " at " << i;
    }
}

TEST(EffectTypes, DelayParameterMapping) {
    auto d = Make(EFFECT_DELAY, {100}, 32000);
    EXPECT_EQ(static_cast<CDelay*>(d.get())->GetDelay(), 64000);
    auto e = Make(EFFECT_DELAY_ECHO, {50, 10, 30}, 32000);
    auto* echo = static_cast<CDelayEcho*>(e.get());
    EXPECT_EQ(echo->GetDelay(), 32000);
    EXPECT_EQ(echo->GetRepeat(), 8);  // 262143 / 32000
    EXPECT_DOUBLE_EQ(echo->GetDecay(), 0.3);
    auto z = Make(EFFECT_DELAY_ECHO, {0, 7, 30}, 32000);
    EXPECT_EQ(static_cast<CDelayEcho*>(z.get())->GetRepeat(), 0);  // min(7, 0)
    auto neg = Make(EFFECT_DELAY, {-30}, 48000);  // a negative delay counts as 0
    EXPECT_EQ(static_cast<CDelay*>(neg.get())->GetDelay(), 0);
    auto huge = Make(EFFECT_DELAY, {2000000000}, 48000);
    EXPECT_EQ(static_cast<CDelay*>(huge.get())->GetDelay(), 262143);
}

TEST(EffectTypes, ModulationParameterMapping) {
    auto c = Make(EFFECT_CHORUS, {50, 50, 50}, 48000);
    auto* chorus = static_cast<CChorus*>(c.get());
    EXPECT_EQ(chorus->GetDelay(), 1200);
    EXPECT_EQ(chorus->GetDepth(), 480);
    EXPECT_NEAR(chorus->GetLfoRate(), 0.1, 1e-15);
    auto f = Make(EFFECT_FLANGER, {100, 100, 100}, 48000);
    auto* flanger = static_cast<CFlanger*>(f.get());
    EXPECT_EQ(flanger->GetDelay(), 192);  // 4 ms
    EXPECT_EQ(flanger->GetDepth(), 192);
    EXPECT_NEAR(flanger->GetLfoRate(), 1.0, 1e-15);
    auto r = Make(EFFECT_REVERB, {62, 0, 90}, 48000);
    EXPECT_EQ(static_cast<CReverb*>(r.get())->GetDelay(), 2976);
    EXPECT_NEAR(static_cast<CReverb*>(r.get())->GetGain(), 0.9, 1e-15);
    auto t = Make(EFFECT_TREMOLO, {100, 100}, 48000);
    EXPECT_DOUBLE_EQ(static_cast<CTremolo*>(t.get())->GetDepth(), 1.0);
    EXPECT_DOUBLE_EQ(static_cast<CTremolo*>(t.get())->GetLfoRate(), 30.0);
}

// ---------------------------------------------------------------- LFO types

// A ramp input makes the delay readable from the output: for CHORUS the output
// is x[n - m - D] + x[n], so with x[n] = n the swing m(n) = 2n - D - y[n].
TEST(EffectTypes, ChorusSwingFollowsTheSine) {
    const double rate = 48000, lfo = 0.1, depth = 480, delay = 1200;
    auto e = Make(EFFECT_CHORUS, {50, 50, 50}, 48000);
    const size_t n = 60000;
    std::vector<double> x(n);
    for (size_t i = 0; i < n; ++i) x[i] = static_cast<double>(i);
    std::vector<double> y = Apply(*e, x);
    int mismatches = 0;
    for (size_t i = 2000; i < n; ++i) {
        double m = 2.0 * i - delay - y[i];
        double expected = std::trunc(std::sin(2 * kPi * lfo * i / rate) * depth);
        ASSERT_NEAR(m, expected, 1.0) << i;
        mismatches += m != expected;
    }
    EXPECT_LT(mismatches, 10);  // only where rounding sits on an integer
}

TEST(EffectTypes, VibratoDelaySwingsBetweenZeroAndTwoD) {
    auto e = Make(EFFECT_VIBRATO, {50, 50}, 48000);  // D 96, 5 Hz
    const size_t n = 48000;
    std::vector<double> x(n);
    for (size_t i = 0; i < n; ++i) x[i] = static_cast<double>(i);
    std::vector<double> y = Apply(*e, x);
    double lo = 1e9, hi = -1e9;
    for (size_t i = 200; i < n; ++i) {
        double m = i - y[i];
        lo = std::min(lo, m);
        hi = std::max(hi, m);
    }
    EXPECT_EQ(lo, 0.0);
    EXPECT_EQ(hi, 192.0);
    // A quarter LFO period in (2400 samples at 5 Hz) the delay is at its widest.
    EXPECT_EQ(2400 - y[2400], 192.0);
}

TEST(EffectTypes, TremoloGainSwing) {
    struct Case {
        int32_t depth;
        double top, bottom;
    } cases[] = {{100, 2.0, 0.0}, {50, 1.5, 0.5}, {0, 1.0, 1.0}};
    for (const Case& c : cases) {
        auto e = Make(EFFECT_TREMOLO, {c.depth, 50}, 48000);  // 15 Hz: a quarter period is 800 samples
        std::vector<double> y = Apply(*e, Step(48000));
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

TEST(EffectTypes, FirLowPassCoefficients) {
    auto e = Make(EFFECT_FIR_LPF, {1000}, 32000);
    const double* h = static_cast<CFIR_LPF*>(e.get())->GetCoefficients();
    EXPECT_DOUBLE_EQ(h[32], 0.0625);
    EXPECT_NEAR(h[0], 0.0, 1e-18);
    EXPECT_NEAR(h[64], 0.0, 1e-18);
    for (int k = 0; k < 65; ++k) EXPECT_NEAR(h[k], h[64 - k], 1e-15) << k;
    // The impulse response is the taps; the peak sits 32 samples late.
    std::vector<double> y = Apply(*e, Impulse(100));
    for (int k = 0; k < 65; ++k) EXPECT_DOUBLE_EQ(y[k], h[k]);
    EXPECT_EQ(std::max_element(y.begin(), y.end()) - y.begin(), 32);
}

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

struct SineCase {
    const char* what;
    int type;
    std::vector<int32_t> values;
    double freq;
    double lo, hi;  // a sanity band around the analytic value
};

TEST(EffectTypes, FirSineResponses) {
    const SineCase cases[] = {
        {"lpf passes low", EFFECT_FIR_LPF, {2000}, 100, 0.95, 1.05},
        {"lpf stops high", EFFECT_FIR_LPF, {1000}, 8000, 0.0, 0.005},
        {"lpf near half way at the cut-off", EFFECT_FIR_LPF, {4000}, 4000, 0.4, 0.6},
        {"hpf passes high", EFFECT_FIR_HPF, {3000}, 12000, 0.95, 1.05},
        {"hpf stops low", EFFECT_FIR_HPF, {3000}, 100, 0.0, 0.05},
        {"bpf passes the band", EFFECT_FIR_BPF, {2000, 6000}, 4000, 0.95, 1.05},
        {"bpf stops below", EFFECT_FIR_BPF, {2000, 6000}, 100, 0.0, 0.01},
        {"bpf stops above", EFFECT_FIR_BPF, {2000, 6000}, 16000, 0.0, 0.005},
    };
    for (const SineCase& c : cases) {
        auto e = Make(c.type, c.values, 48000);
        std::vector<double> y = Apply(*e, Sine(24000, c.freq, 48000));
        double a = Peak(y, 4800, 24000);
        double f2 = c.values.size() > 1 ? c.values[1] : 0;
        EXPECT_NEAR(a, FirGain(c.type, c.values[0], f2, c.freq, 48000), 1e-3) << c.what;
        EXPECT_GE(a, c.lo) << c.what;
        EXPECT_LE(a, c.hi) << c.what;
    }
}

// Whatever way the filter splits a block internally, every output must be the
// plain sum h[0] x[n] + h[1] x[n-1] + ... + h[64] x[n-64], added in that order.
TEST(EffectTypes, FirEqualsTheDirectSumForAnyBlocking) {
    for (int type : {EFFECT_FIR_LPF, EFFECT_FIR_HPF, EFFECT_FIR_BPF}) {
        auto ref = Make(type, {1500, 5000}, 48000);
        const double* h = type == EFFECT_FIR_LPF ? static_cast<CFIR_LPF*>(ref.get())->GetCoefficients() : nullptr;
        std::vector<double> x(3000);
        for (size_t i = 0; i < x.size(); ++i) x[i] = std::sin(i * 0.37) * 0.5 + std::cos(i * 0.011) * 0.3;
        // The taps, read from the impulse response.
        std::vector<double> taps = Apply(*Make(type, {1500, 5000}, 48000), Impulse(65));
        if (h) {
            for (int k = 0; k < 65; ++k) ASSERT_EQ(taps[k], h[k]);
        }
        std::vector<double> expected(x.size());
        for (size_t n = 0; n < x.size(); ++n) {
            double sum = 0.0;
            for (int k = 0; k < 65; ++k) sum += taps[k] * (n >= static_cast<size_t>(k) ? x[n - k] : 0.0);
            expected[n] = sum;
        }
        for (size_t block : {size_t(1), size_t(17), size_t(128), size_t(480), size_t(3000)}) {
            auto e = Make(type, {1500, 5000}, 48000);
            std::vector<double> y = x;
            for (size_t at = 0; at < y.size(); at += block)
                e->Process(y.data() + at, static_cast<int32_t>(std::min(block, y.size() - at)));
            for (size_t n = 0; n < y.size(); ++n) ASSERT_EQ(y[n], expected[n]) << type << " block " << block << " n " << n;
        }
    }
}

TEST(EffectTypes, FirStepAndLag) {
    // A step through any FIR is its running tap sum; an LPF's taps sum to about
    // 1, and the first 32 outputs are the rising half before the centre tap.
    auto e = Make(EFFECT_FIR_LPF, {2000}, 48000);
    std::vector<double> y = Apply(*e, Step(200));
    EXPECT_NEAR(y[199], 1.0, 0.002);
    EXPECT_LT(y[31], 0.6);
    EXPECT_GT(y[33], 0.5);
    // BPF with FL = 0 is the LPF at FH.
    auto b = Make(EFFECT_FIR_BPF, {0, 2000}, 48000);
    std::vector<double> yb = Apply(*b, Sine(500, 1234, 48000));
    auto l = Make(EFFECT_FIR_LPF, {2000}, 48000);
    std::vector<double> yl = Apply(*l, Sine(500, 1234, 48000));
    for (size_t i = 0; i < yb.size(); ++i) ASSERT_NEAR(yb[i], yl[i], 1e-15);
}

// ---------------------------------------------------------------- allpass-based filters

double NotchGain(double a, double centre, double freq, double rate, bool inverse) {
    double b = -(a + 1.0) * std::cos(2 * kPi * centre / rate);
    std::complex<double> ap = Allpass(a, b, freq, rate);
    return std::abs(inverse ? (1.0 - ap) / 2.0 : (1.0 + ap) / 2.0);
}

TEST(EffectTypes, NotchSineResponses) {
    struct Case {
        int type;
        int32_t width, centre;
        double freq;
    } cases[] = {
        {EFFECT_NOTCH, 80, 1000, 1000}, {EFFECT_NOTCH, 80, 1000, 300},  {EFFECT_NOTCH, 80, 1000, 5000},
        {EFFECT_NOTCH, 95, 2500, 2500}, {EFFECT_INV_NOTCH, 99, 1000, 1000}, {EFFECT_INV_NOTCH, 99, 1000, 3000},
        {EFFECT_INV_NOTCH, 90, 4000, 500},
    };
    for (const Case& c : cases) {
        const bool inverse = c.type == EFFECT_INV_NOTCH;
        auto e = Make(c.type, {c.width, c.centre}, 48000);
        std::vector<double> y = Apply(*e, Sine(48000, c.freq, 48000));
        double measured = Peak(y, 24000, 48000);
        double expected = NotchGain(c.width / 100.0, c.centre, c.freq, 48000, inverse);
        EXPECT_NEAR(measured, expected, 0.005) << c.type << " " << c.freq;
        if (c.freq == c.centre) {
            EXPECT_NEAR(measured, inverse ? 1.0 : 0.0, 0.005);
        }
    }
}

TEST(EffectTypes, NotchConstructionCentre) {
    std::unique_ptr<CBaseEffect> e(NewEffectOfType(EFFECT_NOTCH));
    std::vector<double> y = Apply(*e, Sine(48000, 1000, 48000));
    EXPECT_LT(Peak(y, 24000, 48000), 0.005);
}

// Bands per value, as the equaliser's documentation lists them.
const double kBands[9][2] = {{25, 30},     {50, 60},     {100, 120},   {200, 240},  {400, 480},
                             {800, 960},   {1600, 1920}, {3200, 3840}, {6400, 7680}};

double EqualizerGain(const std::vector<int32_t>& db, double freq, double rate) {
    std::complex<double> sum = 0.0;
    for (int k = 0; k < 9; ++k) {
        double a, b;
        Design(kBands[k][0], kBands[k][1], rate, &a, &b);
        sum += (1.0 - Allpass(a, b, freq, rate)) / 2.0 * std::pow(10.0, db[k] / 20.0);
    }
    return std::abs(sum);
}

TEST(EffectTypes, EqualizerSineResponses) {
    struct Case {
        std::vector<int32_t> db;
        double freq;
    } cases[] = {
        {{0, 0, 0, 0, 0, 0, 0, 0, 0}, 960},      {{0, 0, 0, 0, 0, 0, 0, 0, 0}, 5000},
        {{-20, -20, -20, -20, -20, 20, -20, -20, -20}, 960}, {{0, 0, 0, 0, 0, 0, 0, 0, -20}, 7680},
        {{20, -20, -20, -20, -20, -20, -20, -20, -20}, 30},  {{5, -3, 7, 0, 12, -8, 3, 20, -20}, 2000},
    };
    for (const Case& c : cases) {
        auto e = Make(EFFECT_EQUALIZER, c.db, 48000);
        std::vector<double> y = Apply(*e, Sine(96000, c.freq, 48000, 0.1));
        double measured = Peak(y, 48000, 96000) / 0.1;
        EXPECT_NEAR(measured, EqualizerGain(c.db, c.freq, 48000), 0.01 * measured + 0.002) << c.freq;
    }
    // With every gain at 0 dB the output is the sum of the band-passes, not the input.
    auto flat = Make(EFFECT_EQUALIZER, {0, 0, 0, 0, 0, 0, 0, 0, 0}, 48000);
    std::vector<double> y = Apply(*flat, Impulse(4));
    EXPECT_GT(std::fabs(y[0] - 1.0), 0.05);
}

TEST(EffectTypes, EqualizerSliderToGain) {
    auto e = Make(EFFECT_EQUALIZER, {0, 0, 0, 0, 0, 0, 0, 0, -20}, 48000);
    auto* eq = static_cast<CEqualizer*>(e.get());
    EXPECT_NEAR(eq->GetGain(8), 0.1, 1e-15);
    EXPECT_DOUBLE_EQ(eq->GetGain(0), 1.0);
    auto up = Make(EFFECT_EQUALIZER, {20, 0, 0, 0, 0, 0, 0, 0, 0}, 48000);
    EXPECT_NEAR(static_cast<CEqualizer*>(up.get())->GetGain(0), 10.0, 1e-12);
}

TEST(EffectTypes, WauSweep) {
    std::unique_ptr<CBaseEffect> e(NewEffectOfType(EFFECT_WAU));
    auto* w = static_cast<CWau*>(e.get());
    const double b1000 = -1.95 * std::cos(2 * kPi * 1000 / 48000);
    EXPECT_DOUBLE_EQ(w->GetSection().b, b1000);
    std::vector<double> y = Apply(*e, Impulse(1));
    EXPECT_NEAR(y[0], (1.0 - 0.95) / 2, 1e-15);  // s0 = 1, ap = a
    EXPECT_DOUBLE_EQ(w->GetSection().b, b1000);  // the LFO is at 0 for the first sample
    double s = std::sin(2 * kPi * 1.0 * 1 / 48000);
    Apply(*e, {0.0});
    EXPECT_NEAR(w->GetSection().b, -1.95 * std::cos(2 * kPi * (1000 + 800 * s) / 48000), 1e-15);
    // The centre sweeps 200..1800 Hz: a quarter second in it sits at 1800 Hz.
    std::unique_ptr<CBaseEffect> f(NewEffectOfType(EFFECT_WAU));
    std::vector<double> zeros(12000, 0.0);
    f->Process(zeros.data(), 12001 - 1);
    f->Process(zeros.data(), 1);
    EXPECT_NEAR(static_cast<CWau*>(f.get())->GetSection().b, -1.95 * std::cos(2 * kPi * 1800 / 48000), 1e-12);
}

TEST(EffectTypes, WauTakesTheRate) {
    auto e = Make(EFFECT_WAU, {}, 24000);
    auto* w = static_cast<CWau*>(e.get());
    EXPECT_EQ(w->GetRate(), 24000);
    EXPECT_DOUBLE_EQ(w->GetSection().b, -1.95 * std::cos(2 * kPi * 1000 / 24000));
}

// ---------------------------------------------------------------- history and rate

const int kHistoryTypes[] = {EFFECT_DELAY,   EFFECT_DELAY_ECHO, EFFECT_ECHO,    EFFECT_REVERB,
                             EFFECT_CHORUS,  EFFECT_FLANGER,    EFFECT_VIBRATO, EFFECT_EQUALIZER,
                             EFFECT_FIR_BPF, EFFECT_FIR_HPF,    EFFECT_FIR_LPF, EFFECT_NOTCH,
                             EFFECT_INV_NOTCH, EFFECT_WAU};

std::vector<int32_t> Values(int type) {
    const EffectTypeInfo* info = GetEffectTypeInfo(type);
    std::vector<int32_t> v(EFFECT_MAX_VALUES, 0);
    for (int j = 0; j < info->params; ++j) v[j] = info->param[j].initial;
    return v;
}

// Energy left in the output after an impulse, feeding zeros.
double Tail(CBaseEffect& e) {
    std::vector<double> z(60000, 0.0);  // DELAY's start value is 1 s
    e.Process(z.data(), static_cast<int32_t>(z.size()));
    return Peak(z, 0, z.size());
}

TEST(EffectTypes, SwitchingOnClearsHistory) {
    for (int type : kHistoryTypes) {
        for (int toggle = 0; toggle < 3; ++toggle) {
            auto e = Make(type, Values(type), 48000);
            std::vector<double> x = Impulse(8);
            e->Process(x.data(), 8);
            if (toggle == 1) {  // off and on again: history gone
                e->SetEnable(0);
                e->SetEnable(1);
            } else if (toggle == 2) {  // on while on: nothing changes
                e->SetEnable(1);
            }
            double tail = Tail(*e);
            if (toggle == 1)
                EXPECT_EQ(tail, 0.0) << type;
            else
                EXPECT_GT(tail, 1e-6) << type << " toggle " << toggle;
        }
    }
}

TEST(EffectTypes, RateChangeClearsHistorySameRateKeepsIt) {
    for (int type : kHistoryTypes) {
        if (type == EFFECT_WAU) continue;  // takes no values, but see WauTakesTheRate
        for (int rate : {48000, 44100}) {
            auto e = Make(type, Values(type), 48000);
            std::vector<double> x = Impulse(8);
            e->Process(x.data(), 8);
            std::vector<int32_t> v = Values(type);
            e->SetParams(v.data(), rate);
            double tail = Tail(*e);
            if (rate == 48000)
                EXPECT_GT(tail, 1e-6) << type;
            else
                EXPECT_EQ(tail, 0.0) << type;
        }
    }
}

// ProcessPair must equal two Process calls, whether the two instances are in
// step (same values: shared modulation) or not (different values: each its own).
TEST(EffectTypes, PairEqualsTwoSingles) {
    for (int type = 0; type < EFFECT_TYPE_COUNT; ++type) {
        for (bool same : {true, false}) {
            std::vector<int32_t> v = Values(type);
            std::vector<int32_t> w = v;
            if (!same)
                for (auto& value : w) value = value / 2 + 1;
            auto l1 = Make(type, v, 44100), r1 = Make(type, w, 44100);
            auto l2 = Make(type, v, 44100), r2 = Make(type, w, 44100);
            std::vector<double> x = Sine(3000, 330, 44100, 0.6), y = Sine(3000, 1700, 44100, 0.4);
            std::vector<double> xs = x, ys = y;
            for (size_t at = 0; at < x.size(); at += 500) {
                l1->ProcessPair(*r1, x.data() + at, y.data() + at, 500);
                l2->Process(xs.data() + at, 500);
                r2->Process(ys.data() + at, 500);
            }
            for (size_t i = 0; i < x.size(); ++i) {
                ASSERT_EQ(x[i], xs[i]) << type << (same ? " in step" : " apart") << " at " << i;
                ASSERT_EQ(y[i], ys[i]) << type << (same ? " in step" : " apart") << " at " << i;
            }
        }
    }
}

TEST(EffectTypes, UnusableRatesAreIgnored) {
    // A rate of 0 would divide by zero in every LFO; the effect keeps its own.
    for (int type = 0; type < EFFECT_TYPE_COUNT; ++type) {
        auto e = Make(type, Values(type), 0);
        ASSERT_TRUE(e);
        std::vector<double> y = Apply(*e, Sine(4800, 440, 48000, 0.5));
        for (double v : y) ASSERT_TRUE(std::isfinite(v)) << type;
    }
}

TEST(EffectTypes, TableMatchesTypes) {
    const wchar_t* names[] = {L"THROUGH",   L"CHORUS",     L"COMPRESSOR", L"DELAY ECHO", L"DELAY",
                              L"DISTORTION", L"ECHO",      L"EQUALIZER",  L"FIR BPF",    L"FIR HPF",
                              L"FIR LPF",   L"FLANGER",    L"INV NOTCH",  L"LIMITTER",   L"NOISE_GATE",
                              L"NOTCH",     L"REVERB",     L"SOFT CLIPPING", L"TREMOLO", L"VIBRATO",
                              L"WAU"};
    const int read[] = {0, 3, 3, 3, 1, 2, 0, 9, 2, 1, 1, 3, 2, 1, 1, 2, 3, 2, 2, 2, 0};
    for (int t = 0; t < EFFECT_TYPE_COUNT; ++t) {
        const EffectTypeInfo* info = GetEffectTypeInfo(t);
        ASSERT_TRUE(info);
        EXPECT_EQ(std::wstring(info->name), names[t]);
        EXPECT_EQ(info->valuesRead, read[t]) << t;
        for (int j = 0; j < info->params; ++j) {
            // Every start value must survive the chain file's range check.
            EXPECT_LT(info->param[j].min, info->param[j].max) << t << " " << j;
            EXPECT_GE(info->param[j].initial, info->param[j].min) << t << " " << j;
            EXPECT_LE(info->param[j].initial, info->param[j].max) << t << " " << j;
        }
        std::unique_ptr<CBaseEffect> e(NewEffectOfType(t));
        EXPECT_TRUE(e) << t;
        EXPECT_EQ(e->IsEnabled(), 1);
    }
    EXPECT_EQ(GetEffectTypeInfo(21), nullptr);
    EXPECT_EQ(GetEffectTypeInfo(-1), nullptr);
    EXPECT_EQ(NewEffectOfType(21), nullptr);
}

}  // namespace
