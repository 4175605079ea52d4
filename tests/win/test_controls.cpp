// The control helpers against real common controls: the traps they exist for
// (packed trackbar ranges, CB_ERR read as an index, truncated texts).
#include "ui/Controls.h"

#include <commctrl.h>

#include <gtest/gtest.h>

namespace {

TEST(ControlsTest, TrapsOfTheCommonControls) {
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);
    HWND parent =
        CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 400, 300, nullptr, nullptr, nullptr, nullptr);
    auto make = [&](const wchar_t* cls, DWORD style) {
        return CreateWindowExW(0, cls, L"", WS_CHILD | style, 0, 0, 200, 200, parent, nullptr, nullptr,
                               nullptr);
    };
    // Ranges outside 16 bits and below zero; a position outside is pulled in.
    HWND bar = make(TRACKBAR_CLASSW, 0);
    struct Case {
        int32_t min, max, pos, expectedPos;
    } cases[] = {{-20, 20, -20, -20}, {0, 40000, 39999, 39999}, {1, 16, 0, 1}, {0, 0, 5, 0}};
    for (const Case& c : cases) {
        ui::TrackbarSetRange(bar, c.min, c.max);
        ui::TrackbarSetPos(bar, c.pos);
        EXPECT_EQ(ui::TrackbarMin(bar), c.min) << c.max;
        EXPECT_EQ(ui::TrackbarMax(bar), c.max) << c.max;
        EXPECT_EQ(ui::TrackbarPos(bar), c.expectedPos) << c.max;
    }
    // A combo box without a selection reads as none, not as some line's data.
    HWND combo = make(L"COMBOBOX", CBS_DROPDOWNLIST);
    intptr_t data = 7;
    ui::ComboFill(combo, {{"8000 Hz", 8000}, {"2ch (L-chのみ)", 3}}, -1);
    EXPECT_EQ(ui::ComboSelection(combo), -1);
    EXPECT_FALSE(ui::ComboSelectedData(combo, &data));
    EXPECT_EQ(data, 7);
    ui::ComboSelect(combo, 1);
    ASSERT_TRUE(ui::ComboSelectedData(combo, &data));
    EXPECT_EQ(data, 3);
    EXPECT_EQ(ui::ComboLineText(combo, 1), "2ch (L-chのみ)");
    // Long texts come back whole.
    HWND edit = make(L"EDIT", ES_AUTOHSCROLL);
    SendMessageW(edit, EM_SETLIMITTEXT, 0, 0);
    const std::string longName = std::string(3000, 'x') + "録音 テイク";
    ui::SetText(edit, longName);
    EXPECT_EQ(ui::GetText(edit), longName);
    DestroyWindow(parent);
}

} // namespace
