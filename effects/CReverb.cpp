#include "effects/CReverb.h"

#include "effects/EffectMath.h"
#include "effects/EffectRate.h"

#include <algorithm>

CReverb::CReverb() {
    Clear();
}

void CReverb::Clear() {
    std::fill(m_Line, m_Line + LENGTH, 0.0);
    m_Write = 0;
}

void CReverb::SetParams(const int32_t* values, int32_t sampleRate) {
    if (fx::IsUsableRate(sampleRate) && sampleRate != m_Rate) {
        Clear();
        m_Rate = sampleRate;
    }
    m_Delay = fx::DelayLength((values[0] * 0.1 / 100.0) * m_Rate, static_cast<int32_t>(MASK));
    m_Gain = values[2] / 100.0;
}

void CReverb::Process(double* x, int32_t n) {
    for (int32_t i = 0; i < n; ++i) {
        m_Line[m_Write] = x[i];
        x[i] = m_Line[fx::Behind(m_Write, m_Delay, MASK)] * m_Gain + m_Line[m_Write];
        m_Write = (m_Write + 1) & MASK;
    }
}

void CReverb::SetEnable(int32_t on) {
    bool wasOff = m_bEnable == 0;
    CBaseEffect::SetEnable(on);
    if (wasOff && m_bEnable) Clear();
}
