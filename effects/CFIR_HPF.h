// FIR HPF: a 65-tap windowed-sinc high-pass at FC Hz.
#pragma once

#include "effects/CBaseEffect.h"
#include "effects/FirLine.h"

class CFIR_HPF : public CBaseEffect {
  public:
    CFIR_HPF();
    // P1: cut-off in Hz.
    void SetParams(const int32_t* values, int32_t sampleRate) override;
    void Process(double* samples, int32_t count) override;
    void SetEnable(int32_t on) override;

  private:
    void Design();

    fx::FirLine m_Fir;
    int32_t m_Cutoff = 3000;
};
