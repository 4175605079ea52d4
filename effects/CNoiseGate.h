// NOISE_GATE: samples within +-T become silence, sample by sample (no hold or release).
#pragma once

#include "effects/CBaseEffect.h"

class CNoiseGate : public CBaseEffect {
  public:
    // P1: threshold, 0..100 gives 0..0.04 of full scale.
    void SetParams(const int32_t* values, int32_t sampleRate) override;
    void Process(double* samples, int32_t count) override;

  private:
    double m_Threshold = 0.02;
};
