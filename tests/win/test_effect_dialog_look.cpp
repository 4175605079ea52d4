// The effect editor and chooser as they come out in each language's font:
// every control inside the window, nothing overlapping, every text the
// controls can be given fits. A picture of each is left in artifacts/.
#include "effects/CEffectManager.h"
#include "effects/EffectTypes.h"
#include "platform/Platform.h"
#include "res/resource.h"
#include "ui/CEffectSelectDialog.h"
#include "ui/CEffectSettingDialog.h"
#include "ui/Controls.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <string>
#include <vector>

namespace {

HINSTANCE Module() {
    static const bool registered = [] {
        INITCOMMONCONTROLSEX icc{sizeof icc, ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
        return InitCommonControlsEx(&icc) != 0;
    }();
    (void)registered;
    return GetModuleHandleW(nullptr);
}

std::wstring BinaryDir() {
    return std::wstring(SONVEL_BINARY_DIR, SONVEL_BINARY_DIR + sizeof(SONVEL_BINARY_DIR) - 1);
}

// Lets the window paint, then writes what the screen shows of it as a 24-bit BMP.
bool SaveWindowBmp(HWND window, const std::wstring& path) {
    SetWindowPos(window, HWND_TOPMOST, 20, 20, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    for (DWORD end = GetTickCount() + 400; GetTickCount() < end;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        Sleep(10);
    }
    RECT r;
    GetWindowRect(window, &r);
    const int w = r.right - r.left, h = r.bottom - r.top;
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    HBITMAP bmp = CreateCompatibleBitmap(screen, w, h);
    HGDIOBJ old = SelectObject(mem, bmp);
    BitBlt(mem, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
    BITMAPINFOHEADER bi{};
    bi.biSize = sizeof bi;
    bi.biWidth = w;
    bi.biHeight = h;
    bi.biPlanes = 1;
    bi.biBitCount = 24;
    bi.biCompression = BI_RGB;
    const int stride = ((w * 3 + 3) / 4) * 4;
    std::vector<BYTE> pixels(static_cast<size_t>(stride) * h);
    GetDIBits(mem, bmp, 0, h, pixels.data(), reinterpret_cast<BITMAPINFO*>(&bi), DIB_RGB_COLORS);
    SelectObject(mem, old);
    DeleteObject(bmp);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    BITMAPFILEHEADER fh{};
    fh.bfType = 0x4D42;
    fh.bfOffBits = sizeof fh + sizeof bi;
    fh.bfSize = fh.bfOffBits + static_cast<DWORD>(pixels.size());
    HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return false;
    DWORD done;
    bool ok = WriteFile(f, &fh, sizeof fh, &done, nullptr) && WriteFile(f, &bi, sizeof bi, &done, nullptr) &&
              WriteFile(f, pixels.data(), static_cast<DWORD>(pixels.size()), &done, nullptr);
    CloseHandle(f);
    return ok;
}

struct Child {
    HWND hwnd;
    int id;
    RECT rect; // in the dialog's client coordinates
    bool groupBox;
};

std::vector<Child> VisibleChildren(HWND dialog) {
    std::vector<Child> children;
    for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        if (!IsWindowVisible(c)) continue;
        RECT r;
        GetWindowRect(c, &r);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
        wchar_t cls[32] = {};
        GetClassNameW(c, cls, 32);
        const LONG style = GetWindowLongW(c, GWL_STYLE);
        const bool group = _wcsicmp(cls, L"Button") == 0 && (style & BS_TYPEMASK) == BS_GROUPBOX;
        children.push_back({c, GetDlgCtrlID(c), r, group});
    }
    return children;
}

bool Inside(const RECT& inner, const RECT& outer) {
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

// Every visible control lies inside the client area; no two overlap unless one
// is a group box holding the other.
void ExpectTidyLayout(HWND dialog) {
    RECT client;
    GetClientRect(dialog, &client);
    std::vector<Child> children = VisibleChildren(dialog);
    for (const Child& c : children)
        EXPECT_TRUE(Inside(c.rect, client)) << "control " << c.id << " is cut off by the window";
    for (size_t i = 0; i < children.size(); ++i)
        for (size_t j = i + 1; j < children.size(); ++j) {
            const Child &a = children[i], &b = children[j];
            RECT common;
            if (!IntersectRect(&common, &a.rect, &b.rect)) continue;
            if ((a.groupBox && Inside(b.rect, a.rect)) || (b.groupBox && Inside(a.rect, b.rect))) continue;
            ADD_FAILURE() << "controls " << a.id << " and " << b.id << " overlap";
        }
}

// Width in pixels of `text` in the control's own font.
int TextWidth(HWND control, const std::wstring& text) {
    HDC dc = GetDC(control);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
    SIZE size{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    return size.cx;
}

// `text` fits the control, leaving `margin` pixels (a button's frame).
void ExpectFits(HWND control, const std::wstring& text, int margin) {
    RECT r;
    GetClientRect(control, &r);
    EXPECT_LE(TextWidth(control, text) + margin, r.right)
        << "\"" << plat::WideToUtf8(text) << "\" is clipped in " << GetDlgCtrlID(control);
}

// Each visible slider's thumb sits where its value lies in its range.
void ExpectThumbsAtTheirValues(HWND dialog) {
    for (int i = 0; i < EFFECT_GROUPS; ++i) {
        HWND t = GetDlgItem(dialog, IDC_EFFECT_SLIDER0 + i);
        if (!IsWindowVisible(t)) continue;
        RECT channel, thumb;
        SendMessageW(t, TBM_GETCHANNELRECT, 0, reinterpret_cast<LPARAM>(&channel));
        SendMessageW(t, TBM_GETTHUMBRECT, 0, reinterpret_cast<LPARAM>(&thumb));
        const double share = static_cast<double>(ui::TrackbarPos(t) - ui::TrackbarMin(t)) /
                             (ui::TrackbarMax(t) - ui::TrackbarMin(t));
        const int thumbWidth = thumb.right - thumb.left;
        const double expected =
            channel.left + thumbWidth / 2.0 + share * (channel.right - channel.left - thumbWidth);
        EXPECT_NEAR((thumb.left + thumb.right) / 2.0, expected, thumbWidth) << "slider " << i;
    }
}

std::wstring WindowText(HWND w) {
    return plat::Utf8ToWide(ui::GetText(w));
}

const char* Suffix(int language) {
    return language == 1 ? "ja" : "en";
}

TEST(EffectDialogLook, TheEditorFitsItsTextsInBothLanguages) {
    CEffectManager manager;
    CEffectManager* old = g_pEffectManager;
    g_pEffectManager = &manager;
    CreateDirectoryW((BinaryDir() + L"/artifacts").c_str(), nullptr);
    const std::wstring chain = BinaryDir() + L"/artifacts/effect-look.xml";
    const std::string chainFile =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<EffectList>"
        "<EffectItem><Num>0</Num><Type>7</Type><Enabled>1</Enabled><Params>0</Params>"
        "</EffectItem>"
        "<EffectItem><Num>1</Num><Type>17</Type><Enabled>0</Enabled><Params>0</Params>"
        "</EffectItem>"
        "<EffectItem><Num>2</Num><Type>3</Type><Enabled>1</Enabled><Params>0</Params>"
        "</EffectItem></EffectList>";
    for (int language : {1, 0}) {
        SCOPED_TRACE(Suffix(language));
        HANDLE f = CreateFileW(chain.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD done;
        WriteFile(f, chainFile.data(), static_cast<DWORD>(chainFile.size()), &done, nullptr);
        CloseHandle(f);

        CEffectSettingDialog editor;
        editor.SetLanguage(language);
        editor.SetChainPath(CString(plat::WideToUtf8(chain)));
        HWND w = editor.Show(Module());
        ASSERT_NE(w, nullptr);
        // The first entry is the EQUALIZER: all nine groups are up.
        ASSERT_EQ(ui::ListCount(GetDlgItem(w, IDC_EFFECT_LIST)), 3);
        for (int i = 0; i < EFFECT_GROUPS; ++i)
            EXPECT_TRUE(IsWindowVisible(GetDlgItem(w, IDC_EFFECT_SLIDER0 + i))) << i;
        ExpectTidyLayout(w);
        ExpectThumbsAtTheirValues(w);
        for (int id : {IDC_EFFECT_ADD, IDC_EFFECT_DEL, IDC_EFFECT_UP, IDC_EFFECT_DOWN, IDC_EFFECT_CLOSE})
            ExpectFits(GetDlgItem(w, id), WindowText(GetDlgItem(w, id)), 6);
        ExpectFits(GetDlgItem(w, IDC_EFFECT_ONOFF), L"OFF", 6);
        for (int32_t type = 0; type < EFFECT_TYPE_COUNT; ++type) {
            const EffectTypeInfo* info = GetEffectTypeInfo(type);
            ExpectFits(GetDlgItem(w, IDC_EFFECT_NAME), info->name, 0);
            for (int i = 0; i < info->params; ++i) {
                if (!info->param[i].label) continue;
                ExpectFits(GetDlgItem(w, IDC_EFFECT_LABEL0 + i), info->param[i].label, 0);
                for (int32_t v : {info->param[i].min, info->param[i].max})
                    ExpectFits(GetDlgItem(w, IDC_EFFECT_VALUE0 + i), plat::Utf8ToWide(std::to_string(v)), 0);
            }
        }
        const std::wstring shot =
            BinaryDir() + L"/artifacts/effect-setting-" + plat::Utf8ToWide(Suffix(language)) + L".bmp";
        EXPECT_TRUE(SaveWindowBmp(w, shot));
    }
    DeleteFileW(chain.c_str());
    g_pEffectManager = old;
}

TEST(EffectDialogLook, TheChooserFitsItsTextsInBothLanguages) {
    CEffectManager manager;
    CEffectManager* old = g_pEffectManager;
    g_pEffectManager = &manager;
    for (int language : {1, 0}) {
        SCOPED_TRACE(Suffix(language));
        CEffectSelectDialog chooser;
        HWND w = chooser.Create(Module(), CEffectSelectDialog::TemplateFor(language), nullptr);
        ASSERT_NE(w, nullptr);
        ShowWindow(w, SW_SHOW);
        SendMessageW(GetDlgItem(w, IDC_EFFECT_LIST), LB_SETCURSEL, 7, 0);
        ExpectTidyLayout(w);
        for (int id : {IDOK, IDCANCEL})
            ExpectFits(GetDlgItem(w, id), WindowText(GetDlgItem(w, id)), 6);
        HWND list = GetDlgItem(w, IDC_EFFECT_LIST);
        for (int32_t type = 0; type < EFFECT_TYPE_COUNT; ++type)
            ExpectFits(list, GetEffectTypeInfo(type)->name, 4);
        const std::wstring shot =
            BinaryDir() + L"/artifacts/effect-select-" + plat::Utf8ToWide(Suffix(language)) + L".bmp";
        EXPECT_TRUE(SaveWindowBmp(w, shot));
        DestroyWindow(w);
    }
    g_pEffectManager = old;
}

} // namespace
