// The LFO-swept delay line behind CHORUS and FLANGER: the two differ only in how
// their values scale, so each owns one of these and maps its values into it.
#pragma once

#include "effects/EffectMath.h"

#include <algorithm>
#include <cstdint>

namespace fx {

struct ModulatedLine {
    static constexpr uint32_t LENGTH = 65536;
    static constexpr uint32_t MASK = LENGTH - 1;

    double line[LENGTH];
    int32_t delay = 0; // D, samples
    int32_t depth = 0; // W, samples
    double rate = 0.0; // f, Hz
    int32_t k = 0;     // LFO counter
    uint32_t w = 0;    // write position
    int32_t fs = 48000;

    void Clear() {
        std::fill(line, line + LENGTH, 0.0);
        k = 0;
        w = 0;
    }
    // A new rate drops the history; the same rate keeps it.
    void ChangeRate(int32_t sampleRate) {
        if (sampleRate != fs) {
            Clear();
            fs = sampleRate;
        }
    }
    // Output: the dry sample plus the modulated delayed one, unscaled.
    void Process(double* x, int32_t n) {
        const double omega = TWO_PI * rate / fs;
        const int32_t period = 10 * fs;
        for (int32_t i = 0; i < n; ++i) {
            line[w] = x[i];
            int32_t m = Trunc32(std::sin(k * omega) * depth);
            uint32_t back = static_cast<uint32_t>(m) + static_cast<uint32_t>(delay);
            x[i] = line[(w - back) & MASK] + line[w];
            k = k + 1 >= period ? 0 : k + 1;
            w = (w + 1) & MASK;
        }
    }

    // Both lines advance with the same LFO when their settings and counters
    // agree, so the sine is evaluated once per frame for both.
    bool InStepWith(const ModulatedLine& o) const {
        return delay == o.delay && depth == o.depth && rate == o.rate && k == o.k && w == o.w && fs == o.fs;
    }
    void ProcessPair(ModulatedLine& o, double* x, double* y, int32_t n) {
        if (!InStepWith(o)) {
            Process(x, n);
            o.Process(y, n);
            return;
        }
        const double omega = TWO_PI * rate / fs;
        const int32_t period = 10 * fs;
        for (int32_t i = 0; i < n; ++i) {
            line[w] = x[i];
            o.line[w] = y[i];
            int32_t m = Trunc32(std::sin(k * omega) * depth);
            uint32_t back = static_cast<uint32_t>(m) + static_cast<uint32_t>(delay);
            x[i] = line[(w - back) & MASK] + line[w];
            y[i] = o.line[(w - back) & MASK] + o.line[w];
            k = k + 1 >= period ? 0 : k + 1;
            w = (w + 1) & MASK;
        }
        o.k = k;
        o.w = w;
    }
};

} // namespace fx
