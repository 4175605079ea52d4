#include "effects/CBaseEffect.h"

void CBaseEffect::SetParams(const int32_t*, int32_t) {}

void CBaseEffect::Process(double*, int32_t) {}

void CBaseEffect::SetEnable(int32_t on) { m_bEnable = on != 0 ? 1 : 0; }
