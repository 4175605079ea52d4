// One entry of the effect list as an editor and the chain file hold it.
#pragma once

#include "effects/EffectTypes.h"

#include <cstdint>

struct EffectItem {
    const wchar_t* name = nullptr; // the type table's name, not owned
    int32_t type = 0;              // 0..20
    int32_t enabled = 0;           // 1 on, 0 off
    int32_t Params = 0;            // values in use, 0..9
    int32_t Min[EFFECT_MAX_VALUES] = {};
    int32_t Max[EFFECT_MAX_VALUES] = {};
    int32_t value[EFFECT_MAX_VALUES] = {}; // handed to SetParams as it is
};
