// The effect type table: id, name, class, how many values SetParams reads, and
// the parameter set an editor offers for a new entry (label, range, start value
// per value index). The dialog and the chain file share this one table.
#pragma once

#include <cstdint>

class CBaseEffect;

constexpr int32_t EFFECT_TYPE_COUNT = 21;
constexpr int32_t EFFECT_MAX_VALUES = 10; // size of every values array
constexpr int32_t EFFECT_MAX_PARAMS = 9;  // values an entry can hold in the chain file

enum EffectType : int32_t {
    EFFECT_THROUGH = 0,
    EFFECT_CHORUS,
    EFFECT_COMPRESSOR,
    EFFECT_DELAY_ECHO,
    EFFECT_DELAY,
    EFFECT_DISTORTION,
    EFFECT_ECHO,
    EFFECT_EQUALIZER,
    EFFECT_FIR_BPF,
    EFFECT_FIR_HPF,
    EFFECT_FIR_LPF,
    EFFECT_FLANGER,
    EFFECT_INV_NOTCH,
    EFFECT_LIMITTER,
    EFFECT_NOISE_GATE,
    EFFECT_NOTCH,
    EFFECT_REVERB,
    EFFECT_SOFT_CLIPPING,
    EFFECT_TREMOLO,
    EFFECT_VIBRATO,
    EFFECT_WAU,
};

struct EffectParamInfo {
    const wchar_t* label; // null: the value exists but has no control of its own
    int32_t min;
    int32_t max;
    int32_t initial; // value of a new entry
};

struct EffectTypeInfo {
    int32_t type;
    const wchar_t* name; // shown in the dialogs, written to the chain file
    int32_t valuesRead;  // how many values SetParams reads
    int32_t params;      // values a new entry holds (Params)
    uint32_t groupMask;  // bit i: value i has a control
    EffectParamInfo param[EFFECT_MAX_PARAMS];
};

// The table row of a type, or null for a type outside 0..20.
const EffectTypeInfo* GetEffectTypeInfo(int32_t type);

// A new effect of the type with its construction values (not yet SetParams),
// or null for an unknown type or when the memory is not there. Caller owns it.
CBaseEffect* NewEffectOfType(int32_t type);
