// SOFT CLIPPING: an arctangent curve that approaches +-level.
#pragma once

#include "effects/CBaseEffect.h"

class CSoftClipping : public CBaseEffect {
  public:
    // P1: drive and P2: level, taken as they are.
    void SetParams(const int32_t* values, int32_t sampleRate) override;
    void Process(double* samples, int32_t count) override;

    double GetDrive() const { return m_Drive; }
    double GetLevel() const { return m_Level; }

  private:
    double m_Drive = 10.0;
    double m_Level = 0.5;
};
