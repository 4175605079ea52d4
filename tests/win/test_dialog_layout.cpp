// The effect editor, the effect chooser and the two settings dialogs as they
// come out in each language's font: every control inside the window, no two
// overlapping, every text a control shows or can be given fits it.
#include "drivers/CWinDriverFactory.h"
#include "effects/CEffectManager.h"
#include "platform/Platform.h"
#include "res/resource.h"
#include "settings/CAppParameter.h"
#include "ui/CEffectSelectDialog.h"
#include "ui/CEffectSettingDialog.h"
#include "ui/CSettingAudioDialog.h"
#include "ui/CSettingRecDialog.h"
#include "ui/Controls.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <utility>

namespace {

namespace fs = std::filesystem;

HINSTANCE Module() {
    static INITCOMMONCONTROLSEX icc{sizeof icc, ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
    static const bool ready = InitCommonControlsEx(&icc) != 0;
    (void)ready;
    return GetModuleHandleW(nullptr);
}

bool IsClass(HWND c, const wchar_t* name) {
    wchar_t cls[32] = {};
    GetClassNameW(c, cls, 32);
    return _wcsicmp(cls, name) == 0;
}

bool IsGroupBox(HWND c) {
    return IsClass(c, L"Button") && (GetWindowLongW(c, GWL_STYLE) & BS_TYPEMASK) == BS_GROUPBOX;
}

bool Inside(const RECT& a, const RECT& b) {
    return a.left >= b.left && a.top >= b.top && a.right <= b.right && a.bottom <= b.bottom;
}

// `text` fits `c` in its own font with room for what the control draws beside
// it (a frame, a check box, a drop-down arrow). Edits and sliders hold no label.
void ExpectFits(HWND c, const std::wstring& text) {
    const LONG kind = GetWindowLongW(c, GWL_STYLE) & BS_TYPEMASK;
    int room = IsClass(c, L"Static") ? 0 : IsClass(c, L"ListBox") ? 4 : -1;
    if (IsClass(c, L"ComboBox")) room = GetSystemMetrics(SM_CXVSCROLL) + 6;
    if (IsClass(c, L"Button"))
        room = kind == BS_GROUPBOX                              ? 16
               : kind == BS_CHECKBOX || kind == BS_AUTOCHECKBOX ? GetSystemMetrics(SM_CXMENUCHECK) + 6
                                                                : 8;
    if (room < 0) return;
    HDC dc = GetDC(c);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(c, WM_GETFONT, 0, 0)));
    RECT r{0, 0, 0, 0}, client;
    DrawTextW(dc, text.c_str(), -1, &r, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, old);
    ReleaseDC(c, dc);
    GetClientRect(c, &client);
    EXPECT_LE(r.right + room, client.right) << "\"" << plat::WideToUtf8(text) << "\" is cut off";
}

// Every visible control lies inside the client area and fits its text and its
// list lines; no two overlap unless one is a group box holding the other.
void ExpectTidy(HWND dialog) {
    RECT client, common;
    GetClientRect(dialog, &client);
    std::vector<std::pair<HWND, RECT>> shown;
    for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        if (!IsWindowVisible(c)) continue;
        RECT r;
        GetWindowRect(c, &r);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
        SCOPED_TRACE(ui::GetText(c));
        EXPECT_TRUE(Inside(r, client)) << "outside the window";
        ExpectFits(c, plat::Utf8ToWide(ui::GetText(c)));
        const bool combo = IsClass(c, L"ComboBox");
        for (int i = 0, n = ui::ComboCount(c); combo && i < n; ++i)
            ExpectFits(c, plat::Utf8ToWide(ui::ComboLineText(c, i)));
        for (const auto& [other, o] : shown) {
            const bool holds = (IsGroupBox(c) && Inside(o, r)) || (IsGroupBox(other) && Inside(r, o));
            EXPECT_FALSE(!holds && IntersectRect(&common, &r, &o)) << "overlaps " << ui::GetText(other);
        }
        shown.push_back({c, r});
    }
}

// Each visible slider's thumb sits where its value lies in its range.
void ExpectThumbsAtTheirValues(HWND dialog) {
    for (int i = 0; i < EFFECT_GROUPS; ++i) {
        HWND t = GetDlgItem(dialog, IDC_EFFECT_SLIDER0 + i);
        if (!IsWindowVisible(t)) continue;
        RECT channel, thumb;
        SendMessageW(t, TBM_GETCHANNELRECT, 0, reinterpret_cast<LPARAM>(&channel));
        SendMessageW(t, TBM_GETTHUMBRECT, 0, reinterpret_cast<LPARAM>(&thumb));
        const double share =
            double(ui::TrackbarPos(t) - ui::TrackbarMin(t)) / (ui::TrackbarMax(t) - ui::TrackbarMin(t));
        const int width = thumb.right - thumb.left;
        EXPECT_NEAR((thumb.left + thumb.right) / 2.0,
                    channel.left + width / 2.0 + share * (channel.right - channel.left - width), width)
            << "slider " << i;
    }
}

TEST(EffectDialogLayout, EditorAndChooserFitEveryTextInBothLanguages) {
    CEffectManager manager;
    CEffectManager* old = g_pEffectManager;
    g_pEffectManager = &manager;
    const fs::path chain =
        fs::temp_directory_path() / ("sonvel-layout-" + std::to_string(GetCurrentProcessId()));
    // An EQUALIZER: all nine groups up, each slider's range moved from 0..100 to
    // -20..20 while its value number 0 stays (Wine's trackbar leaves the thumb behind).
    std::ofstream(chain) << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<EffectList><EffectItem><Num>0</Num>"
                            "<Type>7</Type><Enabled>1</Enabled><Params>0</Params></EffectItem></EffectList>";
    for (int language : {1, 0}) {
        SCOPED_TRACE(language);
        CEffectSettingDialog editor;
        editor.SetLanguage(language);
        editor.SetChainPath(CString(plat::WideToUtf8(chain.wstring())));
        HWND w = editor.Show(Module());
        ASSERT_NE(w, nullptr);
        ExpectTidy(w);
        ExpectThumbsAtTheirValues(w);
        ExpectFits(GetDlgItem(w, IDC_EFFECT_ONOFF), L"OFF");
        for (int32_t type = 0; type < EFFECT_TYPE_COUNT; ++type) {
            const EffectTypeInfo* info = GetEffectTypeInfo(type);
            ExpectFits(GetDlgItem(w, IDC_EFFECT_NAME), info->name);
            for (int i = 0; i < info->params; ++i) {
                if (!info->param[i].label) continue;
                ExpectFits(GetDlgItem(w, IDC_EFFECT_LABEL0 + i), info->param[i].label);
                for (int32_t v : {info->param[i].min, info->param[i].max})
                    ExpectFits(GetDlgItem(w, IDC_EFFECT_VALUE0 + i), std::to_wstring(v));
            }
        }
        CEffectSelectDialog chooser;
        HWND c = chooser.Create(Module(), CEffectSelectDialog::TemplateFor(language), nullptr);
        ASSERT_NE(c, nullptr);
        ShowWindow(c, SW_SHOW);
        ExpectTidy(c);
        for (int32_t type = 0; type < EFFECT_TYPE_COUNT; ++type)
            ExpectFits(GetDlgItem(c, IDC_EFFECT_LIST), GetEffectTypeInfo(type)->name);
        DestroyWindow(c);
    }
    fs::remove(chain);
    g_pEffectManager = old;
}

TEST(SettingsDialogs, NothingIsClippedInEitherLanguage) {
    CAppParameter p;
    CAppParameter* old = g_pAppParameter;
    g_pAppParameter = &p;
    p.m_CapDeviceName = "Speakers";
    p.m_Loopback = 1;
    p.m_WavePath = "C:\\users\\録音 フォルダ";
    p.m_EnableEffect = 1;
    CWinDriverFactory drivers;
    for (int language : {1, 0}) {
        SCOPED_TRACE(language);
        CSettingAudioDialog audio(language, &drivers);
        CSettingRecDialog rec(language);
        for (auto [dialog, id] :
             {std::pair<CDialog*, int>{&audio, audio.TemplateId()}, {&rec, rec.TemplateId()}}) {
            HWND w = dialog->Create(Module(), id, nullptr);
            ASSERT_NE(w, nullptr);
            ShowWindow(w, SW_SHOWNA);
            ExpectTidy(w);
        }
    }
    g_pAppParameter = old;
}

} // namespace
