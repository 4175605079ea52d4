// TREMOLO: the gain swings as 1 + d * sin(LFO); d = 1 swings it between 0 and 2.
#pragma once

#include "effects/CBaseEffect.h"

class CTremolo : public CBaseEffect {
  public:
    // P1: depth (0..100 gives 0..1); P2: LFO rate (0..100 gives 0..30 Hz).
    void SetParams(const int32_t* values, int32_t sampleRate) override;
    void Process(double* samples, int32_t count) override;
    void ProcessPair(CBaseEffect& right, double* left, double* rightSamples, int32_t count) override;

    int32_t GetCounter() const { return m_Counter; }

  private:
    double m_Depth = 0.5;
    double m_LfoRate = 15.0;
    int32_t m_Counter = 0;
    int32_t m_Rate = 48000;
};
