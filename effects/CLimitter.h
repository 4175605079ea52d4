// LIMITTER: clamps every sample to +-T.
#pragma once

#include "effects/CBaseEffect.h"

class CLimitter : public CBaseEffect {
  public:
    // P1: threshold in percent of full scale.
    void SetParams(const int32_t* values, int32_t sampleRate) override;
    void Process(double* samples, int32_t count) override;

  private:
    double m_Threshold = 0.3;
};
