#include "effects/CVibrato.h"

#include "effects/EffectMath.h"
#include "effects/EffectRate.h"

#include <algorithm>
#include <cmath>

CVibrato::CVibrato() {
    Clear();
}

void CVibrato::Clear() {
    std::fill(m_Line, m_Line + LENGTH, 0.0);
    m_Counter = 0;
    m_Write = 0;
}

void CVibrato::SetParams(const int32_t* values, int32_t sampleRate) {
    if (fx::IsUsableRate(sampleRate) && sampleRate != m_Rate) {
        Clear();
        m_Rate = sampleRate;
    }
    m_Depth = fx::Trunc32((values[0] * 0.002 / 50.0) * m_Rate);
    m_LfoRate = values[1] * 5.0 / 50.0;
}

void CVibrato::Process(double* x, int32_t n) {
    const double omega = fx::TWO_PI * m_LfoRate / m_Rate;
    const int32_t period = 10 * m_Rate;
    for (int32_t i = 0; i < n; ++i) {
        m_Line[m_Write] = x[i];
        int32_t m = fx::Trunc32(std::sin(m_Counter * omega) * m_Depth + m_Depth);
        x[i] = m_Line[fx::Behind(m_Write, m, MASK)];
        m_Counter = m_Counter + 1 >= period ? 0 : m_Counter + 1;
        m_Write = (m_Write + 1) & MASK;
    }
}

void CVibrato::SetEnable(int32_t on) {
    bool wasOff = m_bEnable == 0;
    CBaseEffect::SetEnable(on);
    if (wasOff && m_bEnable) Clear();
}

void CVibrato::ProcessPair(CBaseEffect& right, double* x, double* y, int32_t n) {
    auto& o = static_cast<CVibrato&>(right);
    if (o.m_Depth != m_Depth || o.m_LfoRate != m_LfoRate || o.m_Counter != m_Counter ||
        o.m_Write != m_Write || o.m_Rate != m_Rate) {
        Process(x, n);
        o.Process(y, n);
        return;
    }
    // Both channels sweep together: one sine per frame.
    const double omega = fx::TWO_PI * m_LfoRate / m_Rate;
    const int32_t period = 10 * m_Rate;
    for (int32_t i = 0; i < n; ++i) {
        m_Line[m_Write] = x[i];
        o.m_Line[m_Write] = y[i];
        int32_t m = fx::Trunc32(std::sin(m_Counter * omega) * m_Depth + m_Depth);
        x[i] = m_Line[fx::Behind(m_Write, m, MASK)];
        y[i] = o.m_Line[fx::Behind(m_Write, m, MASK)];
        m_Counter = m_Counter + 1 >= period ? 0 : m_Counter + 1;
        m_Write = (m_Write + 1) & MASK;
    }
    o.m_Counter = m_Counter;
    o.m_Write = m_Write;
}
