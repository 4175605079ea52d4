// The control helpers against real common controls: the traps they exist for
// (packed trackbar ranges, CB_ERR read as an index, truncated texts).
#include "ui/Controls.h"

#include <commctrl.h>

#include <gtest/gtest.h>

namespace {

class ControlsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        INITCOMMONCONTROLSEX icc{sizeof icc, ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
        InitCommonControlsEx(&icc);
        m_Parent =
            CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 400, 300, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(m_Parent, nullptr);
    }
    void TearDown() override { DestroyWindow(m_Parent); }
    HWND Make(const wchar_t* cls, DWORD style) {
        return CreateWindowExW(0, cls, L"", WS_CHILD | style, 0, 0, 200, 200, m_Parent, nullptr, nullptr,
                               nullptr);
    }
    HWND m_Parent = nullptr;
};

TEST_F(ControlsTest, TrackbarRangesOutsideSixteenBitsAndBelowZero) {
    HWND bar = Make(TRACKBAR_CLASSW, 0);
    ASSERT_NE(bar, nullptr);
    struct Case {
        int32_t min, max, pos, expectedPos;
    } cases[] = {
        {-20, 20, -20, -20},      // equalizer gains
        {0, 40000, 39999, 39999}, // a play file of 11 hours
        {1, 16, 0, 1},            // a position below the range is pulled in
        {0, 0, 5, 0},             // no play file
    };
    for (const Case& c : cases) {
        ui::TrackbarSetRange(bar, c.min, c.max);
        ui::TrackbarSetPos(bar, c.pos);
        EXPECT_EQ(ui::TrackbarMin(bar), c.min) << c.min << ".." << c.max;
        EXPECT_EQ(ui::TrackbarMax(bar), c.max) << c.min << ".." << c.max;
        EXPECT_EQ(ui::TrackbarPos(bar), c.expectedPos) << c.min << ".." << c.max;
    }
}

TEST_F(ControlsTest, ComboWithoutSelectionReadsAsNoneNotAsLineData) {
    HWND combo = Make(L"COMBOBOX", CBS_DROPDOWNLIST);
    ASSERT_NE(combo, nullptr);
    intptr_t data = 7;
    EXPECT_EQ(ui::ComboSelection(combo), -1);
    EXPECT_FALSE(ui::ComboSelectedData(combo, &data));

    ui::ComboFill(combo, {{"8000 Hz", 8000}, {"2ch (L-chのみ)", 3}, {"48000 Hz", 48000}}, -1);
    EXPECT_EQ(ui::ComboCount(combo), 3);
    EXPECT_EQ(ui::ComboSelection(combo), -1);
    EXPECT_FALSE(ui::ComboSelectedData(combo, &data));
    EXPECT_EQ(data, 7); // untouched without a selection

    ui::ComboSelect(combo, 1);
    ASSERT_TRUE(ui::ComboSelectedData(combo, &data));
    EXPECT_EQ(data, 3);
    EXPECT_EQ(ui::ComboLineText(combo, 1), "2ch (L-chのみ)");
    EXPECT_EQ(ui::ComboLineText(combo, 3), "");

    ui::ComboFill(combo, {{"MME", 1}}, 0); // refilling replaces the lines
    EXPECT_EQ(ui::ComboCount(combo), 1);
    ASSERT_TRUE(ui::ComboSelectedData(combo, &data));
    EXPECT_EQ(data, 1);
}

TEST_F(ControlsTest, TextsKeepTheirFullLengthAndEveryCharacter) {
    HWND edit = Make(L"EDIT", ES_AUTOHSCROLL);
    ASSERT_NE(edit, nullptr);
    SendMessageW(edit, EM_SETLIMITTEXT, 0, 0);
    std::string longName;
    for (int i = 0; i < 400; ++i)
        longName += "録音 テイク ";
    for (const std::string& text : {std::string(), std::string("C:\\録音\\my take.wav"), longName}) {
        ui::SetText(edit, text);
        EXPECT_EQ(ui::GetText(edit), text) << text.size();
    }
    HWND check = Make(L"BUTTON", BS_CHECKBOX);
    ui::SetChecked(check, true);
    EXPECT_TRUE(ui::IsChecked(check));
    ui::SetChecked(check, false);
    EXPECT_FALSE(ui::IsChecked(check));
}

} // namespace
