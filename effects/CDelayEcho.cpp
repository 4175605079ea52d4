#include "effects/CDelayEcho.h"

#include "effects/EffectMath.h"
#include "effects/EffectRate.h"

#include <algorithm>
#include <cmath>

CDelayEcho::CDelayEcho() {
    Clear();
    ComputePowers();
}

void CDelayEcho::Clear() {
    std::fill(m_Line, m_Line + LENGTH, 0.0);
    m_Write = 0;
}

void CDelayEcho::ComputePowers() {
    for (int32_t j = 0; j <= m_Repeat; ++j)
        m_Power[j] = std::pow(m_Decay, static_cast<double>(j));
}

void CDelayEcho::SetParams(const int32_t* values, int32_t sampleRate) {
    if (fx::IsUsableRate(sampleRate) && sampleRate != m_Rate) {
        Clear();
        m_Rate = sampleRate;
    }
    m_Delay = fx::DelayLength((2.0 * values[0] / 100.0) * m_Rate, static_cast<int32_t>(MASK));
    int32_t most = m_Delay > 0 ? static_cast<int32_t>(MASK) / m_Delay : 0;
    m_Repeat = std::min(values[1], most);
    m_Decay = values[2] / 100.0;
    ComputePowers();
}

void CDelayEcho::Process(double* x, int32_t n) {
    for (int32_t i = 0; i < n; ++i) {
        m_Line[m_Write] = x[i];
        double sum = 0.0;
        uint32_t pos = m_Write;
        for (int32_t j = 0; j <= m_Repeat; ++j) {
            sum += m_Power[j] * m_Line[pos];
            pos = (pos - static_cast<uint32_t>(m_Delay)) & MASK;
        }
        x[i] = sum; // R < 0: the loop never runs and the output is 0
        m_Write = (m_Write + 1) & MASK;
    }
}

void CDelayEcho::SetEnable(int32_t on) {
    bool wasOff = m_bEnable == 0;
    CBaseEffect::SetEnable(on);
    if (wasOff && m_bEnable) Clear();
}
