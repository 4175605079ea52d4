// The recorder's executable starts under the test bed, shows its main window
// and ends with the dialog's result (1) when the window is closed; a second
// start leaves the first in charge. A screenshot of the screen
// while it is up is left in tests/artifacts for people to look at.
#include "tests/win/MainWindowRig.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

namespace {

std::wstring BinaryDir() {
    return std::wstring(SONVEL_BINARY_DIR, SONVEL_BINARY_DIR + sizeof(SONVEL_BINARY_DIR) - 1);
}

// Writes the whole virtual screen as a 24-bit BMP.
bool SaveScreenBmp(const std::wstring& path) {
    int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    HBITMAP bmp = CreateCompatibleBitmap(screen, w, h);
    HGDIOBJ old = SelectObject(mem, bmp);
    BitBlt(mem, 0, 0, w, h, screen, 0, 0, SRCCOPY);
    BITMAPINFOHEADER bi{};
    bi.biSize = sizeof bi;
    bi.biWidth = w;
    bi.biHeight = h;
    bi.biPlanes = 1;
    bi.biBitCount = 24;
    bi.biCompression = BI_RGB;
    int stride = ((w * 3 + 3) / 4) * 4;
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

// Ends the child if a check fails early: a stray process would hold the test
// runner's output pipe open under Wine.
struct ChildGuard {
    PROCESS_INFORMATION& pi;
    ~ChildGuard() {
        if (pi.hProcess && WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT)
            TerminateProcess(pi.hProcess, 1);
        if (pi.hThread) CloseHandle(pi.hThread);
        if (pi.hProcess) CloseHandle(pi.hProcess);
    }
};

// A scratch folder holding a settings file with the language chosen, so no
// chooser waits for an answer; the program runs with it as its current folder.
struct RunFolder {
    std::wstring path;
    RunFolder() {
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        path = std::wstring(temp) + L"sonvel-appstart-" + std::to_wstring(GetCurrentProcessId());
        CreateDirectoryW(path.c_str(), nullptr);
        const char ini[] =
            "<?xml version=\"1.0\" ?>\n<config><language>0</language>\n<driver_type>1</driver_type>\n"
            "<capture>0</capture>\n</config>\n";
        HANDLE f = CreateFileW((path + L"\\sonvel.ini").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0,
                               nullptr);
        DWORD done = 0;
        if (f != INVALID_HANDLE_VALUE) {
            WriteFile(f, ini, sizeof ini - 1, &done, nullptr);
            CloseHandle(f);
        }
    }
    ~RunFolder() {
        for (const wchar_t* name : {L"\\sonvel.ini", L"\\sonvel.ini.tmp", L"\\sonvel.xml"})
            DeleteFileW((path + name).c_str());
        RemoveDirectoryW(path.c_str());
    }
};

bool StartSonvel(const std::wstring& folder, PROCESS_INFORMATION& pi) {
    std::wstring exe = BinaryDir() + L"/sonvel.exe";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    std::wstring cmd = L"\"" + exe + L"\"";
    return CreateProcessW(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &si,
                          &pi);
}

HWND WaitForMainWindow(int ms) {
    for (int waited = 0; waited < ms; waited += 50) {
        HWND w = FindWindowW(L"SONVEL MAIN WINDOW", nullptr);
        if (w && IsWindowVisible(w)) return w;
        Sleep(50);
    }
    return nullptr;
}

int CountMainWindows() {
    int n = 0;
    for (HWND w = FindWindowExW(nullptr, nullptr, L"SONVEL MAIN WINDOW", nullptr); w;
         w = FindWindowExW(nullptr, w, L"SONVEL MAIN WINDOW", nullptr))
        n += IsWindowVisible(w) ? 1 : 0;
    return n;
}

} // namespace

TEST(AppStart, ShowsTheMainWindowAndEndsWithTheDialogResult) {
    mainwin::ShownWindowLock shown;
    RunFolder folder;
    PROCESS_INFORMATION pi{};
    ASSERT_TRUE(StartSonvel(folder.path, pi));
    ChildGuard guard{pi};

    HWND window = WaitForMainWindow(60000);
    ASSERT_NE(window, nullptr) << "no visible main window within 60 s";
    wchar_t title[64] = {};
    GetWindowTextW(window, title, 64);
    EXPECT_STREQ(title, L"Sonvel! - Sound Recorder");
    EXPECT_NE(GetDlgItem(window, 20100), nullptr); // MIC: the main template, not a placeholder

    CreateDirectoryW((BinaryDir() + L"/artifacts").c_str(), nullptr);
    Sleep(300); // let it paint
    EXPECT_TRUE(SaveScreenBmp(BinaryDir() + L"/artifacts/sonvel-start.bmp"));

    // A second start finds the running window, brings it forward and ends
    // without a window of its own.
    PROCESS_INFORMATION second{};
    ASSERT_TRUE(StartSonvel(folder.path, second));
    ChildGuard secondGuard{second};
    EXPECT_EQ(WaitForSingleObject(second.hProcess, 30000), WAIT_OBJECT_0);
    DWORD secondCode = 99;
    GetExitCodeProcess(second.hProcess, &secondCode);
    EXPECT_EQ(secondCode, 0u);
    EXPECT_EQ(CountMainWindows(), 1);

    PostMessageW(window, WM_CLOSE, 0, 0);
    DWORD wait = WaitForSingleObject(pi.hProcess, 15000);
    EXPECT_EQ(wait, WAIT_OBJECT_0) << "did not exit within 15 s of WM_CLOSE";
    DWORD code = 99;
    GetExitCodeProcess(pi.hProcess, &code);
    EXPECT_EQ(code, 1u); // the main dialog ends with 1 through the close path
}

// The executable carries its manifest (Common Controls 6, per-monitor DPI) and
// a version resource in both languages, and the icons of the window's buttons.
TEST(AppStart, ExecutableCarriesManifestAndVersion) {
    std::wstring exe = BinaryDir() + L"/sonvel.exe";
    HMODULE m =
        LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(m, nullptr);
    HRSRC r = FindResourceW(m, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24)); // RT_MANIFEST
    ASSERT_NE(r, nullptr);
    std::string manifest(static_cast<const char*>(LockResource(LoadResource(m, r))), SizeofResource(m, r));
    // Every button icon must have a 16-pixel image of its own (the buttons load them at 16 x 16).
    for (int id : {10011, 10012, 20002, 20003, 20004, 20005, 20006, 20007, 20008, 20009, 20010}) {
        HRSRC group = FindResourceW(m, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(14)); // RT_GROUP_ICON
        ASSERT_NE(group, nullptr) << id;
        auto* dir = static_cast<BYTE*>(LockResource(LoadResource(m, group)));
        int image = LookupIconIdFromDirectoryEx(dir, TRUE, 16, 16, LR_DEFAULTCOLOR);
        HRSRC icon = FindResourceW(m, MAKEINTRESOURCEW(image), MAKEINTRESOURCEW(3)); // RT_ICON
        ASSERT_NE(icon, nullptr) << id;
        auto* bits = static_cast<BYTE*>(LockResource(LoadResource(m, icon)));
        auto* header = reinterpret_cast<BITMAPINFOHEADER*>(bits);
        EXPECT_EQ(header->biWidth, 16) << id;
        EXPECT_EQ(header->biBitCount, 32) << id;
        HICON h = CreateIconFromResourceEx(bits, SizeofResource(m, icon), TRUE, 0x00030000, 16, 16,
                                           LR_DEFAULTCOLOR);
        EXPECT_NE(h, nullptr) << id;
        if (h) DestroyIcon(h);
    }
    FreeLibrary(m);
    EXPECT_NE(manifest.find("Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""), std::string::npos);
    EXPECT_NE(manifest.find("PerMonitorV2"), std::string::npos);
    EXPECT_NE(manifest.find("true/pm"), std::string::npos);

    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeW(exe.c_str(), &handle);
    ASSERT_GT(size, 0u);
    std::vector<BYTE> data(size);
    ASSERT_TRUE(GetFileVersionInfoW(exe.c_str(), 0, size, data.data()));
    for (const wchar_t* block :
         {L"\\StringFileInfo\\040904b0\\ProductName", L"\\StringFileInfo\\041104b0\\ProductName"}) {
        wchar_t* value = nullptr;
        UINT len = 0;
        ASSERT_TRUE(VerQueryValueW(data.data(), block, reinterpret_cast<void**>(&value), &len));
        EXPECT_STREQ(value, L"Sonvel");
    }
    for (const wchar_t* block :
         {L"\\StringFileInfo\\040904b0\\ProductVersion", L"\\StringFileInfo\\041104b0\\FileVersion"}) {
        wchar_t* value = nullptr;
        UINT len = 0;
        ASSERT_TRUE(VerQueryValueW(data.data(), block, reinterpret_cast<void**>(&value), &len));
        EXPECT_STREQ(value, L"1.0.4.0");
    }
}
