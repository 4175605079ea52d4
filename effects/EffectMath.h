// Small numeric pieces shared by the effect types.
#pragma once

#include <cmath>
#include <cstdint>

namespace fx {

constexpr double TWO_PI = 6.283185307179586;
constexpr double PI = 3.141592653589793;

// Truncation toward zero into 32 bits. Values from a chain file can be anything,
// so out-of-range results saturate and NaN gives 0 instead of undefined behaviour.
inline int32_t Trunc32(double v) {
    if (!(v == v)) return 0;
    if (v >= 2147483647.0) return 2147483647;
    if (v <= -2147483648.0) return INT32_MIN;
    return static_cast<int32_t>(v);
}

// A delay length: truncated, never negative, at most `limit`.
inline int32_t DelayLength(double samples, int32_t limit) {
    int32_t d = Trunc32(samples);
    if (d < 0) return 0;
    return d > limit ? limit : d;
}

// Index `back` samples before `w` in a line whose length is mask + 1 (a power of two).
// Unsigned arithmetic: wraps for any distance without overflow.
inline uint32_t Behind(uint32_t w, int32_t back, uint32_t mask) {
    return (w - static_cast<uint32_t>(back)) & mask;
}

// One second-order allpass section: the core of the equaliser, the notches and the wah.
struct AllpassSection {
    double a = 0.0;
    double b = 0.0;
    double s0 = 0.0, s1 = 0.0, s2 = 0.0;

    // Returns the allpass output ap for input x.
    double Step(double x) {
        s0 = x - b * s1 - a * s2;
        double ap = a * s0 + b * s1 + s2;
        s2 = s1;
        s1 = s0;
        return ap;
    }
    void Clear() { s0 = s1 = s2 = 0.0; }
    // Band of width `bandwidth` Hz around `centre` Hz at `rate`.
    void Design(double bandwidth, double centre, double rate) {
        double wb = TWO_PI * bandwidth / rate;
        double wf = TWO_PI * centre / rate;
        a = (std::cos(wb) + 1.0 - std::sin(wb)) / (std::cos(wb) + 1.0 + std::sin(wb));
        b = -(a + 1.0) * std::cos(wf);
    }
};

} // namespace fx
