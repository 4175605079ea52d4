#include "effects/CFlanger.h"

#include "effects/EffectRate.h"

CFlanger::CFlanger() {
    m_Mod.Clear();
    m_Mod.delay = 96;
    m_Mod.depth = 96;
    m_Mod.rate = 0.5;
    m_Mod.fs = 48000;
}

void CFlanger::SetParams(const int32_t* values, int32_t sampleRate) {
    if (fx::IsUsableRate(sampleRate)) m_Mod.ChangeRate(sampleRate);
    m_Mod.delay = fx::Trunc32((values[0] * 0.002 / 50.0) * m_Mod.fs);
    m_Mod.depth = fx::Trunc32((values[1] * 0.002 / 50.0) * m_Mod.fs);
    m_Mod.rate = values[2] * 0.5 / 50.0;
}

void CFlanger::Process(double* x, int32_t n) {
    m_Mod.Process(x, n);
}

void CFlanger::ProcessPair(CBaseEffect& right, double* left, double* rightSamples, int32_t n) {
    m_Mod.ProcessPair(static_cast<CFlanger&>(right).m_Mod, left, rightSamples, n);
}

void CFlanger::SetEnable(int32_t on) {
    bool wasOff = m_bEnable == 0;
    CBaseEffect::SetEnable(on);
    if (wasOff && m_bEnable) m_Mod.Clear();
}
