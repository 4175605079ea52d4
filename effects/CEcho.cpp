#include "effects/CEcho.h"

#include "effects/EffectRate.h"

#include <algorithm>

CEcho::CEcho() {
    Clear();
}

void CEcho::Clear() {
    std::fill(m_Line, m_Line + LENGTH, 0.0);
    m_Write = 0;
}

void CEcho::SetParams(const int32_t*, int32_t sampleRate) {
    if (fx::IsUsableRate(sampleRate) && sampleRate != m_Rate) {
        Clear();
        m_Rate = sampleRate;
    }
}

void CEcho::Process(double* x, int32_t n) {
    for (int32_t i = 0; i < n; ++i) {
        uint32_t w = m_Write;
        m_Line[w] = x[i];
        x[i] = ((m_Line[(w - 2000) & MASK] * 0.8 + m_Line[w]) + m_Line[(w - 4000) & MASK] * 0.7) +
               m_Line[(w - 6000) & MASK] * 0.6;
        m_Write = (w + 1) & MASK;
    }
}

void CEcho::SetEnable(int32_t on) {
    bool wasOff = m_bEnable == 0;
    CBaseEffect::SetEnable(on);
    if (wasOff && m_bEnable) Clear();
}
