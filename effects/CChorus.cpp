#include "effects/CChorus.h"

#include "effects/EffectRate.h"

CChorus::CChorus() {
    m_Mod.Clear();
    m_Mod.delay = 1200;
    m_Mod.depth = 480;
    m_Mod.rate = 0.1;
    m_Mod.fs = 48000;
}

void CChorus::SetParams(const int32_t* values, int32_t sampleRate) {
    if (fx::IsUsableRate(sampleRate)) m_Mod.ChangeRate(sampleRate);
    m_Mod.delay = fx::Trunc32((values[0] * 0.025 / 50.0) * m_Mod.fs);
    m_Mod.depth = fx::Trunc32((values[1] * 0.01 / 50.0) * m_Mod.fs);
    m_Mod.rate = values[2] * 0.1 / 50.0;
}

void CChorus::Process(double* x, int32_t n) {
    m_Mod.Process(x, n);
}

void CChorus::ProcessPair(CBaseEffect& right, double* left, double* rightSamples, int32_t n) {
    m_Mod.ProcessPair(static_cast<CChorus&>(right).m_Mod, left, rightSamples, n);
}

void CChorus::SetEnable(int32_t on) {
    bool wasOff = m_bEnable == 0;
    CBaseEffect::SetEnable(on);
    if (wasOff && m_bEnable) m_Mod.Clear();
}
