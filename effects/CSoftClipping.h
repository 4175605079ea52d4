// SOFT CLIPPING: an arctangent curve that approaches +-level.
#pragma once

#include "effects/CBaseEffect.h"

#include <cstdint>

class CSoftClipping : public CBaseEffect {
  public:
    CSoftClipping();
    // P1: drive and P2: level, taken as they are.
    void SetParams(const int32_t* values, int32_t sampleRate) override;
    void Process(double* samples, int32_t count) override;
    void ProcessPair(CBaseEffect& right, double* left, double* rightSamples, int32_t count) override;

    double GetLevel() const { return m_Level; }

  private:
    double Curve(double x) const;
    double Shaped(double x);

    double m_Drive = 10.0;
    double m_Level = 0.5;
    // The curve at the 65535 non-zero values of the 16-bit grid (k / 32768),
    // filled as they come: the chain hands the first effect nothing else, so
    // there the arctangent is evaluated once per distinct value. NaN = not yet.
    double m_Grid[65536];
};
