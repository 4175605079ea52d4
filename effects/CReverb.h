// REVERB: one feed-forward echo, x + g * x[n - D].
#pragma once

#include "effects/CBaseEffect.h"

class CReverb : public CBaseEffect {
  public:
    static constexpr uint32_t LENGTH = 65536;
    static constexpr uint32_t MASK = LENGTH - 1;

    CReverb();
    // P1: delay in 1 ms steps; P2 unused; P3: gain in percent.
    void SetParams(const int32_t* values, int32_t sampleRate) override;
    void Process(double* samples, int32_t count) override;
    void SetEnable(int32_t on) override;

  private:
    void Clear();

    double m_Line[LENGTH];
    int32_t m_Delay = 3000;
    double m_Gain = 0.9;
    uint32_t m_Write = 0;
    int32_t m_Rate = 48000;
};
