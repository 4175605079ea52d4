#include "effects/CFIR_BPF.h"

#include "effects/EffectRate.h"

CFIR_BPF::CFIR_BPF() {
    m_Fir.Clear();
    Design();
}

void CFIR_BPF::Design() {
    const double fl = static_cast<double>(m_Low) / m_Fir.fs;
    const double fh = static_cast<double>(m_High) / m_Fir.fs;
    for (int n = -32; n <= 32; ++n) {
        double ideal = fx::FirLine::LowPass(fh, n) - fx::FirLine::LowPass(fl, n);
        m_Fir.h[n + 32] = ideal * fx::FirLine::Window(n + 32);
    }
}

void CFIR_BPF::SetParams(const int32_t* values, int32_t sampleRate) {
    if (fx::IsUsableRate(sampleRate)) m_Fir.ChangeRate(sampleRate);
    m_Low = values[0];
    m_High = values[1];
    Design();
}

void CFIR_BPF::Process(double* x, int32_t n) {
    m_Fir.Process(x, n);
}

void CFIR_BPF::SetEnable(int32_t on) {
    bool wasOff = m_bEnable == 0;
    CBaseEffect::SetEnable(on);
    if (wasOff && m_bEnable) m_Fir.Clear();
}
