// Pictures of the windows for the documentation, not a check: disabled in the
// normal run; scripts/screenshots.sh runs it and converts the bitmaps.
#include "app/CAboutDialog.h"
#include "app/CChooseLanguageDialog.h"
#include "drivers/test/CTestDrivers.h"
#include "effects/CEffectManager.h"
#include "tests/win/MainWindowRig.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace mainwin;

namespace {

// The window as it stands on the screen, as a 24-bit BMP.
bool SaveWindowBmp(HWND window, const std::wstring& path) {
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

bool Shoot(HWND window, const std::wstring& name) {
    SetWindowPos(window, HWND_TOP, 40, 40, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
    Pump(600);
    const std::wstring dir =
        std::wstring(SONVEL_BINARY_DIR, SONVEL_BINARY_DIR + sizeof(SONVEL_BINARY_DIR) - 1) +
        L"/artifacts/screenshots";
    CreateDirectoryW((dir.substr(0, dir.rfind(L'/'))).c_str(), nullptr);
    CreateDirectoryW(dir.c_str(), nullptr);
    bool ok = SaveWindowBmp(window, dir + L"/" + name + L".bmp");
    ShowWindow(window, SW_HIDE);
    return ok;
}

TEST(Screenshots, DISABLED_MainWindowAboutAndLanguageInBothLanguages) {
    ShownWindowLock shown;
    for (int language : {1, 0}) {
        const std::wstring suffix = language == 1 ? L"-ja" : L"-en";
        ScratchDir dir("shots");
        TestSettings settings(dir, language);
        settings.p.m_WavePath = "C:\\Users\\Public\\Music";
        CTestDriverFactory factory;
        factory.m_ConfigureCapture = [](CTestCapture& c) {
            c.SetSignal(std::make_shared<CToneSignal>(440, 48000, 9000));
            c.SetRealtime(true);
        };
        factory.m_ConfigureRender = [](CTestRenderer& r) { r.SetRealtime(true); };
        TestApp app(&factory);
        app.DisableInstanceSearch();
        ASSERT_EQ(app.InitInstance(GetModuleHandleW(nullptr)), 1);
        HWND w = app.Create(GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(w, nullptr);
        ui::SetItemText(w, IDC_REC_NAME, "take1.wav");
        Click(w, IDC_MIC);
        Pump(800);
        EXPECT_TRUE(Shoot(w, L"main" + suffix));
        app.CanClose(1);
        delete g_pEffectManager;
        g_pEffectManager = nullptr;

        CAboutDialog about;
        HWND a = about.Create(GetModuleHandleW(nullptr),
                              IDD_ABOUT_JA + (language == 1 ? 0 : IDD_ENGLISH_OFFSET), nullptr);
        ASSERT_NE(a, nullptr);
        EXPECT_TRUE(Shoot(a, L"about" + suffix));
        DestroyWindow(a);

        CChooseLanguageDialog chooser(language, language);
        HWND c = chooser.Create(GetModuleHandleW(nullptr),
                                IDD_LANGUAGE_JA + (language == 1 ? 0 : IDD_ENGLISH_OFFSET), nullptr);
        ASSERT_NE(c, nullptr);
        EXPECT_TRUE(Shoot(c, L"language" + suffix));
        DestroyWindow(c);
    }
}

} // namespace
