// DISTORTION: drive, hard clip at +-1.0, then the output level.
#pragma once

#include "effects/CBaseEffect.h"

class CDistortion : public CBaseEffect {
  public:
    // P1: drive (0..100 gives 0..20); P2: level in percent.
    void SetParams(const int32_t* values, int32_t sampleRate) override;
    void Process(double* samples, int32_t count) override;

    double GetLevel() const { return m_Level; }

  private:
    double m_Drive = 10.0;
    double m_Level = 0.5;
};
