#include "effects/CEqualizer.h"

#include "effects/EffectRate.h"

#include <cmath>

namespace {
// (bandwidth, centre) in Hz per value.
const double kBands[CEqualizer::BANDS][2] = {
    {25, 30},   {50, 60},     {100, 120},   {200, 240},   {400, 480},
    {800, 960}, {1600, 1920}, {3200, 3840}, {6400, 7680},
};
} // namespace

CEqualizer::CEqualizer() {
    for (double& g : m_Gain)
        g = 1.0;
    Design();
}

void CEqualizer::Design() {
    for (int i = 0; i < BANDS; ++i) {
        m_Band[i].Design(kBands[i][0], kBands[i][1], m_Rate);
        m_Band[i].Clear();
    }
}

void CEqualizer::SetParams(const int32_t* values, int32_t sampleRate) {
    if (fx::IsUsableRate(sampleRate) && sampleRate != m_Rate) {
        m_Rate = sampleRate;
        Design();
    }
    for (int i = 0; i < BANDS; ++i)
        m_Gain[i] = std::pow(10.0, values[i] / 20.0);
}

void CEqualizer::Process(double* x, int32_t n) {
    for (int32_t i = 0; i < n; ++i) {
        const double in = x[i];
        double sum = 0.0;
        // The eight octave bands in ascending order, then the 30 Hz band.
        for (int k = 1; k < BANDS; ++k)
            sum += (in - m_Band[k].Step(in)) * m_Gain[k] * 0.5;
        sum += (in - m_Band[0].Step(in)) * m_Gain[0] * 0.5;
        x[i] = sum;
    }
}

void CEqualizer::SetEnable(int32_t on) {
    bool wasOff = m_bEnable == 0;
    CBaseEffect::SetEnable(on);
    if (wasOff && m_bEnable)
        for (auto& band : m_Band)
            band.Clear();
}
