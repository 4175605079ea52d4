// NOTCH: (x + allpass) / 2, a band-stop at the centre frequency.
#pragma once

#include "effects/CBaseEffect.h"
#include "effects/EffectMath.h"

class CNotch : public CBaseEffect {
  public:
    CNotch();
    // P1: a in percent (nearer 100 is narrower); P2: centre in Hz.
    void SetParams(const int32_t* values, int32_t sampleRate) override;
    void Process(double* samples, int32_t count) override;
    void ProcessPair(CBaseEffect& right, double* left, double* rightSamples, int32_t count) override;
    void SetEnable(int32_t on) override;

    const fx::AllpassSection& GetSection() const { return m_Section; }

  private:
    fx::AllpassSection m_Section;
    double m_Centre = 1000.0 / 48000.0; // a fraction of the rate
    int32_t m_Rate = 48000;
};
