// The windowed-sinc FIR shared by FIR BPF, FIR HPF and FIR LPF: 65 taps, a Hann
// window, an input line of 65536 samples. The output lags the input by 32.
#pragma once

#include "effects/EffectMath.h"

#include <algorithm>
#include <cstdint>

namespace fx {

struct FirLine {
    static constexpr int TAPS = 65;
    static constexpr uint32_t LENGTH = 65536;
    static constexpr uint32_t MASK = LENGTH - 1;

    double line[LENGTH];
    double h[TAPS];
    uint32_t w = 0;
    int32_t fs = 48000;

    void Clear() {
        std::fill(line, line + LENGTH, 0.0);
        w = 0;
    }
    void ChangeRate(int32_t sampleRate) {
        if (sampleRate != fs) {
            Clear();
            fs = sampleRate;
        }
    }
    // 2f * sinc(2 pi f n): the ideal low-pass of cut-off f (a fraction of the rate).
    static double LowPass(double f, int n) {
        if (n == 0) return 2.0 * f;
        double u = TWO_PI * f * n;
        return u == 0.0 ? 2.0 * f : 2.0 * f * (std::sin(u) / u);
    }
    static double Window(int k) { return 0.5 * (1.0 - std::cos(k * 0.09817477042468103)); }

    void Process(double* x, int32_t n) {
        for (int32_t i = 0; i < n; ++i) {
            line[w] = x[i];
            double sum = 0.0;
            for (int k = 0; k < TAPS; ++k) sum += h[k] * line[(w - static_cast<uint32_t>(k)) & MASK];
            x[i] = sum;
            w = (w + 1) & MASK;
        }
    }
};

}  // namespace fx
