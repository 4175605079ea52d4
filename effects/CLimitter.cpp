#include "effects/CLimitter.h"

#include <algorithm>

void CLimitter::SetParams(const int32_t* values, int32_t) {
    m_Threshold = values[0] / 100.0;
}

void CLimitter::Process(double* x, int32_t n) {
    const double t = m_Threshold;
    for (int32_t i = 0; i < n; ++i)
        x[i] = std::max(-t, std::min(t, x[i]));
}
