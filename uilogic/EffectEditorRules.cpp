#include "uilogic/EffectEditorRules.h"

#include <algorithm>
#include <cstdio>

namespace uilogic {

int EffectAddRow(int selection, int count) {
    if (count < 0 || count >= EFFECT_ROWS) return -1;
    return selection > 0 && selection < count ? selection : count;
}

int EffectMoveRow(int selection, int count, int direction) {
    if (selection < 0 || selection >= count || (direction != -1 && direction != 1)) return -1;
    const int to = selection + direction;
    return to >= 0 && to < count ? to : -1;
}

int EffectRowAfterDelete(int deleted, int countAfter) {
    if (countAfter <= 0) return -1;
    if (deleted < 0) return 0;
    return std::min(deleted, countAfter - 1);
}

EffectButtons EffectButtonStates(int selection, int count) {
    const bool selected = selection >= 0 && selection < count;
    return {count < EFFECT_ROWS, selected, EffectMoveRow(selection, count, -1) >= 0,
            EffectMoveRow(selection, count, 1) >= 0};
}

int32_t ClampToRange(int32_t value, int32_t min, int32_t max) {
    if (max < min) return min;
    return std::clamp(value, min, max);
}

EffectGroupView EffectGroupOf(const EffectItem& item, int group) {
    EffectGroupView view;
    const EffectTypeInfo* info = GetEffectTypeInfo(item.type);
    if (!info || group < 0 || group >= EFFECT_MAX_PARAMS) return view;
    const EffectParamInfo& p = info->param[group];
    if (!(info->groupMask >> group & 1u) || !p.label) return view;
    view.visible = true;
    view.label = p.label;
    view.min = p.min;
    view.max = p.max;
    view.value = ClampToRange(item.value[group], p.min, p.max);
    return view;
}

uint32_t EffectGroupMask(const EffectItem& item) {
    const EffectTypeInfo* info = GetEffectTypeInfo(item.type);
    return info ? info->groupMask & ((1u << EFFECT_MAX_PARAMS) - 1) : 0;
}

void EffectShownValues(const EffectItem& item, int32_t out[EFFECT_MAX_VALUES]) {
    const EffectTypeInfo* info = GetEffectTypeInfo(item.type);
    const int params = info ? info->params : 0;
    for (int j = 0; j < EFFECT_MAX_VALUES; ++j)
        out[j] =
            j < params ? ClampToRange(item.value[j], info->param[j].min, info->param[j].max) : item.value[j];
}

void EffectTakeEdit(EffectItem& item, int index, int32_t value) {
    const EffectTypeInfo* info = GetEffectTypeInfo(item.type);
    if (!info || index < 0 || index >= info->params) return;
    int32_t shown[EFFECT_MAX_VALUES];
    EffectShownValues(item, shown);
    for (int j = 0; j < info->params; ++j) {
        item.Min[j] = info->param[j].min;
        item.Max[j] = info->param[j].max;
        item.value[j] = shown[j];
    }
    item.Params = std::max(item.Params, info->params);
    item.value[index] = ClampToRange(value, info->param[index].min, info->param[index].max);
}

std::string EffectValueText(int32_t value) {
    char text[16];
    std::snprintf(text, sizeof(text), "%d", value);
    return text;
}

const char* EffectSwitchText(int32_t enabled) {
    return enabled ? "ON" : "OFF";
}

} // namespace uilogic
