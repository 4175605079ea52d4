// CHORUS: the dry sample plus the sample from a delay swept by a sine LFO,
// a slow sweep of 0..20 ms around a 0..50 ms delay.
#pragma once

#include "effects/CBaseEffect.h"
#include "effects/ModulatedLine.h"

class CChorus : public CBaseEffect {
  public:
    CChorus();
    // P1: delay, P2: depth, P3: LFO rate, each 0..100 with 50 the usual setting.
    void SetParams(const int32_t* values, int32_t sampleRate) override;
    void Process(double* samples, int32_t count) override;
    void ProcessPair(CBaseEffect& right, double* left, double* rightSamples, int32_t count) override;
    void SetEnable(int32_t on) override;

  private:
    fx::ModulatedLine m_Mod;
};
