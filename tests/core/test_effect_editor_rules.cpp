// The effect editor's list and slider rules, without a window.
#include "uilogic/EffectEditorRules.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

using namespace uilogic;

namespace {

EffectItem Entry(int32_t type, std::vector<int32_t> values, int32_t params, int32_t lo = 0, int32_t hi = 0) {
    EffectItem e;
    const EffectTypeInfo* info = GetEffectTypeInfo(type);
    e.type = type;
    e.name = info ? info->name : nullptr;
    e.enabled = 1;
    e.Params = params;
    for (size_t j = 0; j < values.size(); ++j) {
        e.value[j] = values[j];
        e.Min[j] = lo;
        e.Max[j] = hi;
    }
    return e;
}

std::vector<int32_t> Shown(const EffectItem& e) {
    int32_t v[EFFECT_MAX_VALUES];
    EffectShownValues(e, v);
    return std::vector<int32_t>(v, v + EFFECT_MAX_VALUES);
}

} // namespace

// Add goes before the selection, or at the end with no selection, the first
// row or a stale one selected; up and down stay inside the list; a button is
// enabled exactly when it can do something.
TEST(EffectEditorRules, AddMoveAndTheButtons) {
    struct Case {
        int selection, count, add, up, down;
        bool selected;
    } cases[] = {
        {-1, 0, 0, -1, -1, false}, {0, 0, 0, -1, -1, false},    {-1, 3, 3, -1, -1, false},
        {0, 3, 3, -1, 1, true},    {1, 3, 1, 0, 2, true},       {2, 3, 2, 1, -1, true},
        {3, 3, 3, -1, -1, false},  {5, 3, 3, -1, -1, false},    {0, 1, 1, -1, -1, true},
        {4, 9, 4, 3, 5, true},     {8, 9, 8, 7, -1, true},      {9, 10, -1, 8, -1, true},
        {3, 10, -1, 2, 4, true},   {-1, 10, -1, -1, -1, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.selection << " of " << c.count);
        EXPECT_EQ(EffectAddRow(c.selection, c.count), c.add);
        EXPECT_EQ(EffectMoveRow(c.selection, c.count, -1), c.up);
        EXPECT_EQ(EffectMoveRow(c.selection, c.count, 1), c.down);
        EffectButtons b = EffectButtonStates(c.selection, c.count);
        EXPECT_EQ(std::vector<bool>({b.add, b.del, b.up, b.down}),
                  std::vector<bool>({c.count < 10, c.selected, c.up >= 0, c.down >= 0}));
    }
    for (int direction : {0, 2})
        EXPECT_EQ(EffectMoveRow(1, 3, direction), -1) << direction;
}

TEST(EffectEditorRules, DeleteSelectsTheRowInItsPlaceOrTheNewLast) {
    // The deleted row, the count after, the selection: the next row takes the
    // deleted one's place; after the last row, the one before it; none when empty.
    const std::array<int, 3> cases[] = {{1, 2, 1}, {0, 2, 0}, {2, 2, 1}, {0, 0, -1}, {9, 9, 8}};
    for (auto [deleted, countAfter, expected] : cases)
        EXPECT_EQ(EffectRowAfterDelete(deleted, countAfter), expected) << deleted << " " << countAfter;
}

TEST(EffectEditorRules, GroupsComeFromTheTypeTableWithClampedValues) {
    struct Case {
        EffectItem item;
        int group;
        bool visible;
        std::wstring label;
        int32_t min, max, value;
    } cases[] = {
        {Entry(EFFECT_DELAY, {50}, 1, 0, 100), 0, true, L"Delay", 0, 100, 50},
        {Entry(EFFECT_DELAY, {50}, 1, 0, 100), 1, false, L"", 0, 0, 0},
        // A file's wider range does not widen the slider; the value is shown at the end.
        {Entry(EFFECT_DELAY, {150}, 1, 0, 200), 0, true, L"Delay", 0, 100, 100},
        {Entry(EFFECT_EQUALIZER, {0, 0, 0, 0, 0, 0, 0, 0, -30}, 9, -40, 40), 8, true, L"6.4kHz", -20, 20,
         -20},
        {Entry(EFFECT_EQUALIZER, {0, 0, 0, 0, 0, 0, 0, 0, 7}, 9, -20, 20), 8, true, L"6.4kHz", -20, 20, 7},
        // A zero-filled value below the range (Params 0 in the file) shows the minimum.
        {Entry(EFFECT_DELAY_ECHO, {}, 0), 1, true, L"Repeat", 1, 10, 1},
        // REVERB's second value has no control.
        {Entry(EFFECT_REVERB, {62, 0, 90}, 3, 0, 1000), 1, false, L"", 0, 0, 0},
        {Entry(EFFECT_REVERB, {62, 0, 90}, 3, 0, 1000), 2, true, L"Gain", 0, 100, 90},
        {Entry(EFFECT_WAU, {}, 0), 0, false, L"", 0, 0, 0},
        {Entry(EFFECT_DELAY, {50}, 1, 0, 100), 9, false, L"", 0, 0, 0},
        {Entry(21, {50}, 1, 0, 100), 0, false, L"", 0, 0, 0},
    };
    for (const Case& c : cases) {
        EffectGroupView v = EffectGroupOf(c.item, c.group);
        SCOPED_TRACE(testing::Message() << "type " << c.item.type << " group " << c.group);
        EXPECT_EQ(v.visible, c.visible);
        EXPECT_EQ(std::wstring(v.label ? v.label : L""), c.label);
        EXPECT_EQ(std::vector<int32_t>({v.min, v.max, v.value}),
                  std::vector<int32_t>({c.min, c.max, c.value}));
        EXPECT_EQ(EffectGroupMask(c.item) >> c.group & 1u, c.visible ? 1u : 0u);
    }
}

TEST(EffectEditorRules, TheChainRunsWithTheShownValuesWhileTheEntryKeepsTheFile) {
    EffectItem delay = Entry(EFFECT_DELAY, {150}, 1, 0, 200);
    EXPECT_EQ(Shown(delay), std::vector<int32_t>({100, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(delay.value[0], 150);
    EXPECT_EQ(delay.Max[0], 200);
    // Values past the type's set are handed on as they are.
    EffectItem through = Entry(EFFECT_THROUGH, {5, -7}, 2, -10, 10);
    EXPECT_EQ(Shown(through), std::vector<int32_t>({5, -7, 0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(EffectEditorRules, AnEditMakesTheWholeEntryWhatItShows) {
    struct Case {
        EffectItem item;
        int index;
        int32_t value;
        int32_t params;
        std::vector<int32_t> values, mins, maxs; // the first `params` values
    } cases[] = {
        {Entry(EFFECT_DELAY, {50}, 1, 0, 100), 0, 30, 1, {30}, {0}, {100}},
        {Entry(EFFECT_DELAY, {50}, 1, 0, 100), 0, 130, 1, {100}, {0}, {100}},
        // The untouched value out of range is stored as it was shown.
        {Entry(EFFECT_DELAY_ECHO, {150, 2, 50}, 3, 0, 200), 1, 5, 3, {100, 5, 50}, {0, 1, 0}, {100, 10, 100}},
        // An entry saved without values gets the type's full set.
        {Entry(EFFECT_DELAY_ECHO, {}, 0), 0, 40, 3, {40, 1, 0}, {0, 1, 0}, {100, 10, 100}},
        {Entry(EFFECT_EQUALIZER, {1, 2, 3, 4, 5, 6, 7, 8, 9}, 9, -20, 20),
         8,
         -20,
         9,
         {1, 2, 3, 4, 5, 6, 7, 8, -20},
         std::vector<int32_t>(9, -20),
         std::vector<int32_t>(9, 20)},
        // Nothing to edit: unchanged.
        {Entry(EFFECT_DELAY, {50}, 1, 0, 100), 3, 10, 1, {50}, {0}, {100}},
        {Entry(EFFECT_WAU, {}, 0), 0, 10, 0, {}, {}, {}},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "type " << c.item.type << " index " << c.index);
        EffectTakeEdit(c.item, c.index, c.value);
        ASSERT_EQ(c.item.Params, c.params);
        std::vector<int32_t> values(c.item.value, c.item.value + c.params);
        std::vector<int32_t> mins(c.item.Min, c.item.Min + c.params), maxs(c.item.Max, c.item.Max + c.params);
        EXPECT_EQ(values, c.values);
        EXPECT_EQ(mins, c.mins);
        EXPECT_EQ(maxs, c.maxs);
    }
}
