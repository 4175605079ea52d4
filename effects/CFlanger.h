// FLANGER: the dry sample plus the sample from a delay swept by a sine LFO,
// a fast sweep of a short (0..4 ms) delay.
#pragma once

#include "effects/CBaseEffect.h"
#include "effects/ModulatedLine.h"

class CFlanger : public CBaseEffect {
  public:
    CFlanger();
    // P1: delay, P2: depth, P3: LFO rate, each 0..100 with 50 the usual setting.
    void SetParams(const int32_t* values, int32_t sampleRate) override;
    void Process(double* samples, int32_t count) override;
    void ProcessPair(CBaseEffect& right, double* left, double* rightSamples, int32_t count) override;
    void SetEnable(int32_t on) override;

  private:
    fx::ModulatedLine m_Mod;
};
