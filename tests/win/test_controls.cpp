// The small pieces under every window, on real controls: the control helpers
// against the traps they exist for (packed trackbar ranges, CB_ERR read as an
// index, truncated texts), the yes/no box, and the meter's pixels.
#include "app/AskYesNo.h"
#include "ui/Controls.h"
#include "ui/LevelMeterPaint.h"
#include "uilogic/MeterGeometry.h"

#include "tests/win/WinTestUtil.h"

#include <array>
#include <thread>

namespace {

TEST(ControlsTest, TrapsOfTheCommonControls) {
    wintest::Module();
    HWND parent =
        CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 400, 300, nullptr, nullptr, nullptr, nullptr);
    auto make = [&](const wchar_t* cls, DWORD style) {
        return CreateWindowExW(0, cls, L"", WS_CHILD | style, 0, 0, 200, 200, parent, nullptr, nullptr,
                               nullptr);
    };
    // Ranges outside 16 bits and below zero; a position outside is pulled in.
    HWND bar = make(TRACKBAR_CLASSW, 0);
    for (auto [min, max, pos, expectedPos] :
         {std::array{-20, 20, -20, -20}, {0, 40000, 39999, 39999}, {1, 16, 0, 1}, {0, 0, 5, 0}}) {
        ui::TrackbarSetRange(bar, min, max);
        ui::TrackbarSetPos(bar, pos);
        EXPECT_EQ(std::vector<int>({ui::TrackbarMin(bar), ui::TrackbarMax(bar), ui::TrackbarPos(bar)}),
                  std::vector<int>({min, max, expectedPos}));
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

// No is the default, only Yes answers 1, and text with '%' shows as it is.
TEST(AskYesNo, AnswersOneOnlyForYesAndDefaultsToNo) {
    for (auto [title, press, expect] : {std::tuple{L"Sonvel Q1", IDYES, 1}, {L"Sonvel Q2", IDNO, 0}}) {
        std::atomic<int> answer{-1};
        std::thread asker([&, title = title] { answer = AskYesNo(nullptr, title, L"Overwrite 100%s.wav?"); });
        HWND box = nullptr;
        ASSERT_TRUE(wintest::WaitFor([&] { return (box = FindWindowW(L"#32770", title)) != nullptr; }, 5000));
        wchar_t text[64] = {};
        GetDlgItemTextW(box, 0xFFFF, text, 64); // the box's message
        EXPECT_STREQ(text, L"Overwrite 100%s.wav?");
        EXPECT_EQ(GetWindowLongW(GetDlgItem(box, IDNO), GWL_STYLE) & 0x0F, BS_DEFPUSHBUTTON);
        PostMessageW(box, WM_COMMAND, MAKEWPARAM(press, BN_CLICKED), 0);
        asker.join();
        EXPECT_EQ(answer.load(), expect);
    }
}

// The meter painted into a memory bitmap and read back: each segment's face
// in its colour up to the lit count, black beyond it and at the border.
TEST(LevelMeterPaint, LitCellsInTheirColoursOnBlack) {
    CLevelMeterPainter painter;
    const int h = 12;
    for (auto [width, lit] : {std::pair{297, 24}, {200, 32}}) { // 297: the real meter
        HDC dc = CreateCompatibleDC(nullptr);
        BITMAPINFO bi{{sizeof(BITMAPINFOHEADER), width, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0}, {}};
        uint32_t* bits = nullptr;
        HBITMAP bitmap =
            CreateDIBSection(dc, &bi, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits), nullptr, 0);
        SelectObject(dc, bitmap);
        painter.Draw(dc, RECT{0, 0, width, h}, lit);
        auto at = [&, width = width](int x) { // a DIB holds 0x00RRGGBB; the geometry speaks COLORREF
            const uint32_t v = bits[h / 2 * width + x];
            return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
        };
        EXPECT_EQ(at(0), RGB(0, 0, 0)) << width;
        const int pitch = uilogic::SegmentPitch({0, 0, width, h});
        for (int i = 0; i < 32; ++i)
            EXPECT_EQ(at(2 + i * pitch), i < lit ? uilogic::SegmentColour(i) : RGB(0, 0, 0))
                << "width " << width << " segment " << i;
        DeleteDC(dc);
        DeleteObject(bitmap);
    }
}

} // namespace
