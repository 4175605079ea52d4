// COMPRESSOR: above the threshold T the slope becomes R; the make-up gain G
// brings a full-scale input to 0.7 x the gain setting.
#pragma once

#include "effects/CBaseEffect.h"

class CCompressor : public CBaseEffect {
  public:
    // P1 threshold, P2 ratio, P3 gain, each 0..100; 50, 50, 50 give T 0.2, R 0.1
    // and G 0.7 / 0.28, the construction values.
    void SetParams(const int32_t* values, int32_t sampleRate) override;
    void Process(double* samples, int32_t count) override;

  private:
    double m_Threshold = 0.2;
    double m_Ratio = 0.1;
    double m_Gain = 0.7 / 0.28;
};
