#include "effects/EffectTypes.h"

#include "effects/CChorus.h"
#include "effects/CCompressor.h"
#include "effects/CDelay.h"
#include "effects/CDelayEcho.h"
#include "effects/CDistortion.h"
#include "effects/CEcho.h"
#include "effects/CEqualizer.h"
#include "effects/CFIR_BPF.h"
#include "effects/CFIR_HPF.h"
#include "effects/CFIR_LPF.h"
#include "effects/CFlanger.h"
#include "effects/CInvNotch.h"
#include "effects/CLimitter.h"
#include "effects/CNoiseGate.h"
#include "effects/CNotch.h"
#include "effects/CReverb.h"
#include "effects/CSoftClipping.h"
#include "effects/CThrough.h"
#include "effects/CTremolo.h"
#include "effects/CVibrato.h"
#include "effects/CWau.h"

#include <new>

namespace {

// Start values are chosen so that a new entry sounds like the type's
// construction values at 48000 Hz; where the mapping cannot reach those
// exactly (REVERB's 62.5 ms) the nearest step is used.
const EffectTypeInfo kTypes[EFFECT_TYPE_COUNT] = {
    {EFFECT_THROUGH, L"THROUGH", 0, 0, 0, {}},
    {EFFECT_CHORUS,
     L"CHORUS",
     3,
     3,
     7,
     {{L"Delay", 0, 100, 50}, {L"Depth", 0, 100, 50}, {L"Ratio", 0, 100, 50}}},
    {EFFECT_COMPRESSOR,
     L"COMPRESSOR",
     3,
     3,
     7,
     {{L"Threshold", 0, 100, 50}, {L"Ratio", 0, 100, 50}, {L"Gain", 0, 100, 50}}},
    {EFFECT_DELAY_ECHO,
     L"DELAY ECHO",
     3,
     3,
     7,
     {{L"Delay", 0, 100, 50}, {L"Repeat", 1, 10, 2}, {L"Decay", 0, 100, 50}}},
    {EFFECT_DELAY, L"DELAY", 1, 1, 1, {{L"Delay", 0, 100, 50}}},
    {EFFECT_DISTORTION, L"DISTORTION", 2, 2, 3, {{L"Gain", 0, 100, 50}, {L"Level", 0, 100, 50}}},
    {EFFECT_ECHO, L"ECHO", 0, 0, 0, {}},
    {EFFECT_EQUALIZER,
     L"EQUALIZER",
     9,
     9,
     511,
     {{L"30Hz", -20, 20, 0},
      {L"50Hz", -20, 20, 0},
      {L"100Hz", -20, 20, 0},
      {L"200Hz", -20, 20, 0},
      {L"400Hz", -20, 20, 0},
      {L"800Hz", -20, 20, 0},
      {L"1.6kHz", -20, 20, 0},
      {L"3.2kHz", -20, 20, 0},
      {L"6.4kHz", -20, 20, 0}}},
    {EFFECT_FIR_BPF, L"FIR BPF", 2, 2, 3, {{L"Low", 0, 24000, 2000}, {L"High", 0, 24000, 4000}}},
    {EFFECT_FIR_HPF, L"FIR HPF", 1, 1, 1, {{L"Cutoff", 0, 24000, 3000}}},
    {EFFECT_FIR_LPF, L"FIR LPF", 1, 1, 1, {{L"Cutoff", 0, 24000, 1000}}},
    {EFFECT_FLANGER,
     L"FLANGER",
     3,
     3,
     7,
     {{L"Delay", 0, 100, 50}, {L"Depth", 0, 100, 50}, {L"Ratio", 0, 100, 50}}},
    {EFFECT_INV_NOTCH, L"INV NOTCH", 2, 2, 3, {{L"Width", 0, 99, 99}, {L"Freq", 20, 20000, 1000}}},
    {EFFECT_LIMITTER, L"LIMITTER", 1, 1, 1, {{L"Threshold", 0, 100, 30}}},
    {EFFECT_NOISE_GATE, L"NOISE_GATE", 1, 1, 1, {{L"Threshold", 0, 100, 50}}},
    {EFFECT_NOTCH, L"NOTCH", 2, 2, 3, {{L"Width", 0, 99, 80}, {L"Freq", 20, 20000, 1000}}},
    // The second value is read but unused; it keeps a valid range so that the
    // entry survives the chain file.
    {EFFECT_REVERB,
     L"REVERB",
     3,
     3,
     5,
     {{L"Delay", 0, 1000, 62}, {nullptr, 0, 100, 0}, {L"Gain", 0, 100, 90}}},
    {EFFECT_SOFT_CLIPPING, L"SOFT CLIPPING", 2, 2, 3, {{L"Gain", 0, 100, 10}, {L"Level", 0, 1, 1}}},
    {EFFECT_TREMOLO, L"TREMOLO", 2, 2, 3, {{L"Depth", 0, 100, 50}, {L"Ratio", 0, 100, 50}}},
    {EFFECT_VIBRATO, L"VIBRATO", 2, 2, 3, {{L"Depth", 0, 100, 50}, {L"Ratio", 0, 100, 50}}},
    {EFFECT_WAU, L"WAU", 0, 0, 0, {}},
};

template <class T> CBaseEffect* Make() {
    return new (std::nothrow) T();
}

} // namespace

const EffectTypeInfo* GetEffectTypeInfo(int32_t type) {
    if (type < 0 || type >= EFFECT_TYPE_COUNT) return nullptr;
    return &kTypes[type];
}

CBaseEffect* NewEffectOfType(int32_t type) {
    switch (type) {
    case EFFECT_THROUGH:
        return Make<CThrough>();
    case EFFECT_CHORUS:
        return Make<CChorus>();
    case EFFECT_COMPRESSOR:
        return Make<CCompressor>();
    case EFFECT_DELAY_ECHO:
        return Make<CDelayEcho>();
    case EFFECT_DELAY:
        return Make<CDelay>();
    case EFFECT_DISTORTION:
        return Make<CDistortion>();
    case EFFECT_ECHO:
        return Make<CEcho>();
    case EFFECT_EQUALIZER:
        return Make<CEqualizer>();
    case EFFECT_FIR_BPF:
        return Make<CFIR_BPF>();
    case EFFECT_FIR_HPF:
        return Make<CFIR_HPF>();
    case EFFECT_FIR_LPF:
        return Make<CFIR_LPF>();
    case EFFECT_FLANGER:
        return Make<CFlanger>();
    case EFFECT_INV_NOTCH:
        return Make<CInvNotch>();
    case EFFECT_LIMITTER:
        return Make<CLimitter>();
    case EFFECT_NOISE_GATE:
        return Make<CNoiseGate>();
    case EFFECT_NOTCH:
        return Make<CNotch>();
    case EFFECT_REVERB:
        return Make<CReverb>();
    case EFFECT_SOFT_CLIPPING:
        return Make<CSoftClipping>();
    case EFFECT_TREMOLO:
        return Make<CTremolo>();
    case EFFECT_VIBRATO:
        return Make<CVibrato>();
    case EFFECT_WAU:
        return Make<CWau>();
    default:
        return nullptr;
    }
}
