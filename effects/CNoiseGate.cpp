#include "effects/CNoiseGate.h"

void CNoiseGate::SetParams(const int32_t* values, int32_t) {
    m_Threshold = values[0] * 0.02 / 50.0;
}

void CNoiseGate::Process(double* x, int32_t n) {
    const double t = m_Threshold;
    for (int32_t i = 0; i < n; ++i)
        if (-t <= x[i] && x[i] <= t) x[i] = 0.0;
}
