// The yes/no box: No is the default, only Yes answers 1, and text with '%'
// shows as it is.
#include "app/AskYesNo.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

struct Found {
    const wchar_t* title;
    HWND box = nullptr;
};

BOOL CALLBACK FindBox(HWND hwnd, LPARAM lp) {
    auto* f = reinterpret_cast<Found*>(lp);
    wchar_t cls[32] = {}, text[128] = {};
    GetClassNameW(hwnd, cls, 32);
    GetWindowTextW(hwnd, text, 128);
    if (lstrcmpW(cls, L"#32770") || lstrcmpW(text, f->title)) return TRUE;
    f->box = hwnd;
    return FALSE;
}

TEST(AskYesNo, AnswersOneOnlyForYesAndDefaultsToNo) {
    struct Case {
        const wchar_t* title;
        WORD press; // 0: press Enter (the default button)
        int expect;
    } cases[] = {{L"Sonvel Q1", IDYES, 1}, {L"Sonvel Q2", IDNO, 0}, {L"Sonvel Q3", 0, 0}};
    for (const Case& c : cases) {
        std::atomic<int> answer{-1};
        std::thread asker([&] { answer = AskYesNo(nullptr, c.title, L"Overwrite 100%s.wav?"); });
        Found f{c.title};
        for (int i = 0; i < 200 && !f.box; ++i) {
            Sleep(25);
            EnumWindows(FindBox, reinterpret_cast<LPARAM>(&f));
        }
        ASSERT_NE(f.box, nullptr);
        wchar_t text[64] = {};
        GetDlgItemTextW(f.box, 0xFFFF, text, 64); // the box's message
        EXPECT_STREQ(text, L"Overwrite 100%s.wav?");
        // The default button is the one drawn as default.
        const WORD def =
            (GetWindowLongW(GetDlgItem(f.box, IDNO), GWL_STYLE) & 0x0F) == BS_DEFPUSHBUTTON ? IDNO : IDYES;
        EXPECT_EQ(def, IDNO);
        PostMessageW(f.box, WM_COMMAND, MAKEWPARAM(c.press ? c.press : def, BN_CLICKED), 0);
        asker.join();
        EXPECT_EQ(answer.load(), c.expect);
    }
}

} // namespace
