#include "effects/CWau.h"

#include "effects/EffectRate.h"

#include <cmath>

CWau::CWau() {
    m_Section.a = 0.95;
    Restart();
}

// Centre back at 1000 Hz, LFO at its start, states cleared.
void CWau::Restart() {
    m_Section.Clear();
    m_Counter = 0;
    m_Centre = 1000.0 / m_Rate;
    m_Section.b = -(m_Section.a + 1.0) * std::cos(fx::TWO_PI * m_Centre);
}

void CWau::SetParams(const int32_t*, int32_t sampleRate) {
    if (fx::IsUsableRate(sampleRate) && sampleRate != m_Rate) {
        m_Rate = sampleRate;
        Restart();
    }
}

void CWau::Process(double* x, int32_t n) {
    const int32_t period = 10 * m_Rate;
    for (int32_t i = 0; i < n; ++i) {
        x[i] = (x[i] - m_Section.Step(x[i])) * 0.5;
        m_Centre = (1000.0 + m_Depth * std::sin(fx::TWO_PI * m_LfoRate * m_Counter / m_Rate)) / m_Rate;
        m_Section.b = -(m_Section.a + 1.0) * std::cos(fx::TWO_PI * m_Centre);
        m_Counter = m_Counter + 1 >= period ? 0 : m_Counter + 1;
    }
}

void CWau::SetEnable(int32_t on) {
    bool wasOff = m_bEnable == 0;
    CBaseEffect::SetEnable(on);
    if (wasOff && m_bEnable) {
        m_Section.Clear();
        m_Counter = 0;
    }
}

void CWau::ProcessPair(CBaseEffect& right, double* x, double* y, int32_t n) {
    auto& o = static_cast<CWau&>(right);
    if (o.m_Section.b != m_Section.b || o.m_Counter != m_Counter || o.m_Rate != m_Rate) {
        Process(x, n);
        o.Process(y, n);
        return;
    }
    // The sweep does not depend on the signal: one sine and one cosine per frame.
    const int32_t period = 10 * m_Rate;
    for (int32_t i = 0; i < n; ++i) {
        x[i] = (x[i] - m_Section.Step(x[i])) * 0.5;
        y[i] = (y[i] - o.m_Section.Step(y[i])) * 0.5;
        m_Centre = (1000.0 + m_Depth * std::sin(fx::TWO_PI * m_LfoRate * m_Counter / m_Rate)) / m_Rate;
        m_Section.b = -(m_Section.a + 1.0) * std::cos(fx::TWO_PI * m_Centre);
        o.m_Section.b = m_Section.b;
        m_Counter = m_Counter + 1 >= period ? 0 : m_Counter + 1;
    }
    o.m_Centre = m_Centre;
    o.m_Counter = m_Counter;
}
