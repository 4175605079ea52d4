// FIR BPF: a 65-tap windowed-sinc band-pass from FL to FH Hz.
#pragma once

#include "effects/CBaseEffect.h"
#include "effects/FirLine.h"

class CFIR_BPF : public CBaseEffect {
  public:
    CFIR_BPF();
    // P1: low edge, P2: high edge, in Hz.
    void SetParams(const int32_t* values, int32_t sampleRate) override;
    void Process(double* samples, int32_t count) override;
    void SetEnable(int32_t on) override;

  private:
    void Design();

    fx::FirLine m_Fir;
    int32_t m_Low = 2000;
    int32_t m_High = 4000;
};
