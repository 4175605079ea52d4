// WAU: a band-pass whose centre a sine LFO sweeps between 200 and 1800 Hz.
#pragma once

#include "effects/CBaseEffect.h"
#include "effects/EffectMath.h"

#include <memory>

struct WauSweep;

class CWau : public CBaseEffect {
  public:
    CWau();
    // Takes no values; the sample rate sets the sweep's time base and the
    // centre's scale, so the wah sounds the same at every rate.
    void SetParams(const int32_t* values, int32_t sampleRate) override;
    void Process(double* samples, int32_t count) override;
    void ProcessPair(CBaseEffect& right, double* left, double* rightSamples, int32_t count) override;
    void SetEnable(int32_t on) override;

    const fx::AllpassSection& GetSection() const { return m_Section; }

  private:
    void Restart();
    // The section's coefficient once the LFO has reached `counter`.
    double Sweep(int32_t counter);

    fx::AllpassSection m_Section;
    double m_Depth = 800.0; // Hz
    double m_LfoRate = 1.0; // Hz
    int32_t m_Rate = 48000;
    int32_t m_Counter = 0;
    // The sweep repeats every ten seconds and depends on nothing but the rate,
    // so its coefficients are kept once computed, shared by every WAU at that
    // rate (up to 96 kHz; above, they are computed each time).
    std::shared_ptr<WauSweep> m_Sweep;
};
