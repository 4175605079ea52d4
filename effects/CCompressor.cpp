#include "effects/CCompressor.h"

#include <cmath>

void CCompressor::SetParams(const int32_t* values, int32_t) {
    // Each product is scaled by 1/50 like the other types' values, so the
    // dialog's middle settings give the designed curve.
    m_Threshold = values[0] * 0.2 / 50.0;
    m_Ratio = values[1] * 0.1 / 50.0;
    double fullScale = (1.0 - m_Threshold) * m_Ratio + m_Threshold;
    // Threshold and ratio both 0 flatten every input to 0; no gain can change
    // that, and dividing by 0 would turn the silence into NaN.
    m_Gain = std::fabs(fullScale) > 1e-12 ? values[2] * 0.7 / 50.0 / fullScale : 0.0;
}

void CCompressor::Process(double* x, int32_t n) {
    const double t = m_Threshold;
    for (int32_t i = 0; i < n; ++i) {
        double v = x[i];
        if (v > t)
            v = (v - t) * m_Ratio + t;
        else if (v < -t)
            v = (v + t) * m_Ratio - t;
        x[i] = v * m_Gain;
    }
}
