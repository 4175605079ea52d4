#include "effects/CTremolo.h"

#include "effects/EffectMath.h"
#include "effects/EffectRate.h"

#include <cmath>

void CTremolo::SetParams(const int32_t* values, int32_t sampleRate) {
    if (fx::IsUsableRate(sampleRate)) {
        m_Rate = sampleRate;
        // A shorter LFO period must not leave the counter past its end.
        if (m_Counter >= 10 * m_Rate) m_Counter = 0;
    }
    m_Depth = values[0] * 0.5 / 50.0;
    m_LfoRate = values[1] * 15.0 / 50.0;
}

void CTremolo::Process(double* x, int32_t n) {
    const double omega = fx::TWO_PI * m_LfoRate / m_Rate;
    const int32_t period = 10 * m_Rate;
    for (int32_t i = 0; i < n; ++i) {
        x[i] = x[i] * (std::sin(m_Counter * omega) * m_Depth + 1.0);
        m_Counter = m_Counter + 1 >= period ? 0 : m_Counter + 1;
    }
}

void CTremolo::ProcessPair(CBaseEffect& right, double* x, double* y, int32_t n) {
    auto& o = static_cast<CTremolo&>(right);
    if (o.m_Depth != m_Depth || o.m_LfoRate != m_LfoRate || o.m_Counter != m_Counter || o.m_Rate != m_Rate) {
        Process(x, n);
        o.Process(y, n);
        return;
    }
    const double omega = fx::TWO_PI * m_LfoRate / m_Rate;
    const int32_t period = 10 * m_Rate;
    for (int32_t i = 0; i < n; ++i) {
        const double gain = std::sin(m_Counter * omega) * m_Depth + 1.0;
        x[i] = x[i] * gain;
        y[i] = y[i] * gain;
        m_Counter = m_Counter + 1 >= period ? 0 : m_Counter + 1;
    }
    o.m_Counter = m_Counter;
}
