#include "effects/CDelay.h"

#include "effects/EffectMath.h"
#include "effects/EffectRate.h"

#include <algorithm>

CDelay::CDelay() {
    Clear();
}

void CDelay::Clear() {
    std::fill(m_Line, m_Line + LENGTH, 0.0);
    m_Write = 0;
}

void CDelay::SetParams(const int32_t* values, int32_t sampleRate) {
    if (fx::IsUsableRate(sampleRate) && sampleRate != m_Rate) {
        Clear();
        m_Rate = sampleRate;
    }
    m_Delay = fx::DelayLength((2.0 * values[0] / 100.0) * m_Rate, static_cast<int32_t>(MASK));
}

void CDelay::Process(double* x, int32_t n) {
    if (n > 0 && static_cast<uint32_t>(m_Delay) + static_cast<uint32_t>(n) <= LENGTH) {
        // The whole block into the line, then the block D samples back out of
        // it: nothing it reads is overwritten first, so this is the
        // sample-by-sample loop below as two copies.
        const uint32_t count = static_cast<uint32_t>(n);
        const uint32_t first = std::min(count, LENGTH - m_Write);
        std::copy(x, x + first, m_Line + m_Write);
        std::copy(x + first, x + count, m_Line);
        const uint32_t from = fx::Behind(m_Write, m_Delay, MASK);
        const uint32_t head = std::min(count, LENGTH - from);
        std::copy(m_Line + from, m_Line + from + head, x);
        std::copy(m_Line, m_Line + (count - head), x + head);
        m_Write = (m_Write + count) & MASK;
        return;
    }
    for (int32_t i = 0; i < n; ++i) {
        m_Line[m_Write] = x[i];
        x[i] = m_Line[fx::Behind(m_Write, m_Delay, MASK)];
        m_Write = (m_Write + 1) & MASK;
    }
}

void CDelay::SetEnable(int32_t on) {
    bool wasOff = m_bEnable == 0;
    CBaseEffect::SetEnable(on);
    if (wasOff && m_bEnable) Clear();
}
