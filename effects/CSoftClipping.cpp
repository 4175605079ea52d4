#include "effects/CSoftClipping.h"

#include <cmath>

void CSoftClipping::SetParams(const int32_t* values, int32_t) {
    m_Drive = values[0];
    m_Level = values[1];
}

void CSoftClipping::Process(double* x, int32_t n) {
    for (int32_t i = 0; i < n; ++i)
        x[i] = std::atan(x[i] * m_Drive) / 1.5707963267948966 * m_Level;
}
