// ECHO: three fixed echoes, 2000, 4000 and 6000 samples late, at 0.8, 0.7 and 0.6.
#pragma once

#include "effects/CBaseEffect.h"

class CEcho : public CBaseEffect {
  public:
    static constexpr uint32_t LENGTH = 65536;
    static constexpr uint32_t MASK = LENGTH - 1;

    CEcho();
    void SetParams(const int32_t* values, int32_t sampleRate) override;
    void Process(double* samples, int32_t count) override;
    void SetEnable(int32_t on) override;

  private:
    void Clear();

    double m_Line[LENGTH];
    uint32_t m_Write = 0;
    int32_t m_Rate = 48000;
};
