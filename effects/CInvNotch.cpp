#include "effects/CInvNotch.h"

#include "effects/EffectRate.h"

#include <cmath>

CInvNotch::CInvNotch() {
    m_Section.a = 0.99;
    m_Section.b = -(m_Section.a + 1.0) * std::cos(0.1308996938995747);
}

void CInvNotch::SetParams(const int32_t* values, int32_t sampleRate) {
    if (fx::IsUsableRate(sampleRate) && sampleRate != m_Rate) {
        m_Section.Clear();
        m_Rate = sampleRate;
    }
    m_Section.a = values[0] / 100.0;
    m_Centre = static_cast<double>(values[1]) / m_Rate;
    m_Section.b = -(m_Section.a + 1.0) * std::cos(fx::TWO_PI * m_Centre);
}

void CInvNotch::Process(double* x, int32_t n) {
    for (int32_t i = 0; i < n; ++i)
        x[i] = (x[i] - m_Section.Step(x[i])) * 0.5;
}

void CInvNotch::SetEnable(int32_t on) {
    bool wasOff = m_bEnable == 0;
    CBaseEffect::SetEnable(on);
    if (wasOff && m_bEnable) m_Section.Clear();
}

// Each channel's section is a chain of dependent steps; running the two
// chains side by side lets one fill the other's waits.
void CInvNotch::ProcessPair(CBaseEffect& right, double* x, double* y, int32_t n) {
    fx::AllpassSection& r = static_cast<CInvNotch&>(right).m_Section;
    for (int32_t i = 0; i < n; ++i) {
        x[i] = (x[i] - m_Section.Step(x[i])) * 0.5;
        y[i] = (y[i] - r.Step(y[i])) * 0.5;
    }
}
