// Helpers shared by the effect tests: run one effect over a signal, build test
// signals, measure a sine's steady amplitude, and the analytic response of the
// allpass-based filters (worked out in the frequency domain, independently of
// the time-domain code under test).
#pragma once

#include "effects/CBaseEffect.h"
#include "effects/EffectTypes.h"

#include <cmath>
#include <complex>
#include <memory>
#include <vector>

namespace fxtest {

constexpr double kPi = 3.14159265358979323846;

inline std::unique_ptr<CBaseEffect> Make(int type, std::vector<int32_t> values, int rate) {
    values.resize(EFFECT_MAX_VALUES, 0);
    std::unique_ptr<CBaseEffect> e(NewEffectOfType(type));
    if (e) e->SetParams(values.data(), rate);
    return e;
}

inline std::vector<double> Apply(CBaseEffect& e, std::vector<double> x) {
    e.Process(x.data(), static_cast<int32_t>(x.size()));
    return x;
}

inline std::vector<double> Impulse(size_t n, double level = 1.0) {
    std::vector<double> x(n, 0.0);
    x[0] = level;
    return x;
}

inline std::vector<double> Step(size_t n, double level = 1.0) { return std::vector<double>(n, level); }

inline std::vector<double> Sine(size_t n, double freq, double rate, double level = 1.0) {
    std::vector<double> x(n);
    for (size_t i = 0; i < n; ++i) x[i] = level * std::sin(2.0 * kPi * freq * static_cast<double>(i) / rate);
    return x;
}

// Peak of |x| over [from, to).
inline double Peak(const std::vector<double>& x, size_t from, size_t to) {
    double p = 0.0;
    for (size_t i = from; i < to && i < x.size(); ++i) p = std::max(p, std::fabs(x[i]));
    return p;
}

// |H(e^jw)| of the allpass section a, b: A(z) = (a + b z^-1 + z^-2) / (1 + b z^-1 + a z^-2).
inline std::complex<double> Allpass(double a, double b, double freq, double rate) {
    std::complex<double> z1 = std::polar(1.0, -2.0 * kPi * freq / rate);
    std::complex<double> z2 = z1 * z1;
    return (a + b * z1 + z2) / (1.0 + b * z1 + a * z2);
}

// Coefficients for a band of `bandwidth` around `centre`, from the design formulas.
inline void Design(double bandwidth, double centre, double rate, double* a, double* b) {
    double wb = 2.0 * kPi * bandwidth / rate;
    *a = (std::cos(wb) + 1.0 - std::sin(wb)) / (std::cos(wb) + 1.0 + std::sin(wb));
    *b = -(*a + 1.0) * std::cos(2.0 * kPi * centre / rate);
}

}  // namespace fxtest
