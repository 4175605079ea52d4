#include "effects/CFIR_HPF.h"

#include "effects/EffectRate.h"

#include <cmath>

CFIR_HPF::CFIR_HPF() {
    m_Fir.Clear();
    Design();
}

void CFIR_HPF::Design() {
    const double fc = static_cast<double>(m_Cutoff) / m_Fir.fs;
    for (int n = -32; n <= 32; ++n) {
        // An all-pass minus the low-pass; sin(pi n) / (pi n) is kept as written
        // rather than replaced by 0, so the taps are exactly those of the formula.
        double ideal =
            n == 0 ? 1.0 - 2.0 * fc : std::sin(fx::PI * n) / (fx::PI * n) - fx::FirLine::LowPass(fc, n);
        m_Fir.h[n + 32] = ideal * fx::FirLine::Window(n + 32);
    }
}

void CFIR_HPF::SetParams(const int32_t* values, int32_t sampleRate) {
    if (fx::IsUsableRate(sampleRate)) m_Fir.ChangeRate(sampleRate);
    m_Cutoff = values[0];
    Design();
}

void CFIR_HPF::Process(double* x, int32_t n) {
    m_Fir.Process(x, n);
}

void CFIR_HPF::SetEnable(int32_t on) {
    bool wasOff = m_bEnable == 0;
    CBaseEffect::SetEnable(on);
    if (wasOff && m_bEnable) m_Fir.Clear();
}
