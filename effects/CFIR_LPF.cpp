#include "effects/CFIR_LPF.h"

#include "effects/EffectRate.h"

CFIR_LPF::CFIR_LPF() {
    m_Fir.Clear();
    Design();
}

void CFIR_LPF::Design() {
    const double fc = static_cast<double>(m_Cutoff) / m_Fir.fs;
    for (int n = -32; n <= 32; ++n)
        m_Fir.h[n + 32] = fx::FirLine::LowPass(fc, n) * fx::FirLine::Window(n + 32);
}

void CFIR_LPF::SetParams(const int32_t* values, int32_t sampleRate) {
    if (fx::IsUsableRate(sampleRate)) m_Fir.ChangeRate(sampleRate);
    m_Cutoff = values[0];
    Design();
}

void CFIR_LPF::Process(double* x, int32_t n) {
    m_Fir.Process(x, n);
}

void CFIR_LPF::SetEnable(int32_t on) {
    bool wasOff = m_bEnable == 0;
    CBaseEffect::SetEnable(on);
    if (wasOff && m_bEnable) m_Fir.Clear();
}
