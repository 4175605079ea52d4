// DELAY: the input D samples late, nothing else (D = 0 passes the input).
#pragma once

#include "effects/CBaseEffect.h"

class CDelay : public CBaseEffect {
  public:
    static constexpr uint32_t LENGTH = 262144;
    static constexpr uint32_t MASK = LENGTH - 1;

    CDelay();
    // P1: delay in 20 ms steps.
    void SetParams(const int32_t* values, int32_t sampleRate) override;
    void Process(double* samples, int32_t count) override;
    void SetEnable(int32_t on) override;

  private:
    void Clear();

    double m_Line[LENGTH];
    int32_t m_Delay = 24000;
    uint32_t m_Write = 0;
    int32_t m_Rate = 48000;
};
