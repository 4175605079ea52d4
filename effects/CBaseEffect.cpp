#include "effects/CBaseEffect.h"

void CBaseEffect::SetParams(const int32_t*, int32_t) {}

void CBaseEffect::Process(double*, int32_t) {}

void CBaseEffect::ProcessPair(CBaseEffect& right, double* left, double* rightSamples, int32_t count) {
    Process(left, count);
    right.Process(rightSamples, count);
}

void CBaseEffect::SetEnable(int32_t on) {
    m_bEnable = on != 0 ? 1 : 0;
}
