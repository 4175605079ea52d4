// The yes/no box: No is the default, only Yes answers 1, and text with '%'
// shows as it is.
#include "app/AskYesNo.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

struct Found {
    HWND box = nullptr;
    const wchar_t* title;
};

BOOL CALLBACK FindBox(HWND hwnd, LPARAM lp) {
    auto* f = reinterpret_cast<Found*>(lp);
    wchar_t cls[32] = {}, text[128] = {};
    GetClassNameW(hwnd, cls, 32);
    GetWindowTextW(hwnd, text, 128);
    if (lstrcmpW(cls, L"#32770") == 0 && lstrcmpW(text, f->title) == 0) {
        f->box = hwnd;
        return FALSE;
    }
    return TRUE;
}

HWND WaitForBox(const wchar_t* title) {
    Found f;
    f.title = title;
    for (int i = 0; i < 200 && !f.box; ++i) {
        Sleep(25);
        EnumWindows(FindBox, reinterpret_cast<LPARAM>(&f));
    }
    return f.box;
}

std::wstring StaticText(HWND box) {
    std::wstring all;
    for (HWND c = GetWindow(box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        wchar_t cls[32] = {}, text[256] = {};
        GetClassNameW(c, cls, 32);
        GetWindowTextW(c, text, 256);
        if (lstrcmpiW(cls, L"Static") == 0) all += text;
    }
    return all;
}

TEST(AskYesNo, AnswersOneOnlyForYesAndDefaultsToNo) {
    struct Case {
        const wchar_t* title;
        WORD press;  // 0: press Enter (the default button)
        int expect;
    } cases[] = {{L"Sonvel Q1", IDYES, 1}, {L"Sonvel Q2", IDNO, 0}, {L"Sonvel Q3", 0, 0}};
    for (const Case& c : cases) {
        std::atomic<int> answer{-1};
        std::thread asker([&] { answer = AskYesNo(nullptr, c.title, L"Overwrite 100%s.wav?"); });
        HWND box = WaitForBox(c.title);
        ASSERT_NE(box, nullptr);
        EXPECT_NE(StaticText(box).find(L"Overwrite 100%s.wav?"), std::wstring::npos);
        // The default button is the one drawn as default.
        WORD def = 0;
        for (WORD id : {static_cast<WORD>(IDYES), static_cast<WORD>(IDNO)}) {
            HWND b = GetDlgItem(box, id);
            ASSERT_NE(b, nullptr);
            if ((GetWindowLongW(b, GWL_STYLE) & 0x0F) == BS_DEFPUSHBUTTON) def = id;
        }
        EXPECT_EQ(def, IDNO);
        WORD id = c.press ? c.press : def;
        PostMessageW(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
        asker.join();
        EXPECT_EQ(answer.load(), c.expect);
    }
}

}  // namespace
