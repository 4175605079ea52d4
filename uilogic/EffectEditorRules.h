// The effect editor's rules that need no window: where a new entry goes, where
// Up and Down move the selected one, which row is selected after a delete,
// which buttons can do something, and what each parameter slider shows.
//
// A slider shows the range the effect type table gives; a value a chain file
// holds outside that range is shown at the nearest end, and the chain runs with
// what is shown. The entry keeps the file's value until the user moves one of
// its sliders: then the whole entry takes what it shows, so that it is saved as
// it sounds.
#pragma once

#include "effects/EffectItem.h"

#include <cstdint>
#include <string>

namespace uilogic {

constexpr int EFFECT_ROWS = 10;

// The row where Add puts a new entry: before the selected row, or at the end
// when the first row or no row is selected. -1 when the list is full.
int EffectAddRow(int selection, int count);
// The row Up (direction -1) or Down (+1) moves the selected row to; -1 when it
// cannot move (first row up, last row down, no selection).
int EffectMoveRow(int selection, int count, int direction);
// The row selected after row `deleted` was removed and `countAfter` rows are
// left: the row now in its place, else the new last row; -1 when none is left.
int EffectRowAfterDelete(int deleted, int countAfter);

// Which of the list's buttons can do something.
struct EffectButtons {
    bool add, del, up, down;
};
EffectButtons EffectButtonStates(int selection, int count);

int32_t ClampToRange(int32_t value, int32_t min, int32_t max);

// One parameter group as the dialog shows it.
struct EffectGroupView {
    bool visible = false;
    const wchar_t* label = nullptr;
    int32_t min = 0, max = 0, value = 0;
};
// Group `group` (0..8) of an entry.
EffectGroupView EffectGroupOf(const EffectItem& item, int group);
// The group mask of the entry's type (bit i: group i is shown).
uint32_t EffectGroupMask(const EffectItem& item);

// The ten values the running chain gets for an entry: every value of the
// type's parameter set clamped into its range, the others as they are.
void EffectShownValues(const EffectItem& item, int32_t out[EFFECT_MAX_VALUES]);
// The user set value `index` to `value`: the entry takes the type's parameter
// set (ranges from the table, its values as shown) and then the new value,
// clamped. An index outside the values or an unknown type changes nothing.
void EffectTakeEdit(EffectItem& item, int index, int32_t value);

// "%d".
std::string EffectValueText(int32_t value);
// The ON/OFF button's text for an enabled flag.
const char* EffectSwitchText(int32_t enabled);

} // namespace uilogic
