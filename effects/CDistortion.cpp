#include "effects/CDistortion.h"

#include <algorithm>

void CDistortion::SetParams(const int32_t* values, int32_t) {
    m_Drive = values[0] * 20.0 / 100.0;
    m_Level = values[1] / 100.0;
}

void CDistortion::Process(double* x, int32_t n) {
    for (int32_t i = 0; i < n; ++i) {
        double v = x[i] * m_Drive;
        v = std::min(1.0, v);
        v = std::max(-1.0, v);
        x[i] = v * m_Level;
    }
}
