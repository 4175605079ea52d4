// The recorder's executable starts under the test bed, shows its main window
// and ends with the dialog's result (1) when the window is closed; a second
// start leaves the first in charge.
#include "platform/Platform.h"
#include "tests/win/MainWindowRig.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <string>

namespace {

// Ends the child if a check fails early: a stray process would hold the test
// runner's output pipe open under Wine.
struct Child {
    PROCESS_INFORMATION pi{};
    ~Child() {
        if (pi.hProcess && WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT)
            TerminateProcess(pi.hProcess, 1);
        if (pi.hThread) CloseHandle(pi.hThread);
        if (pi.hProcess) CloseHandle(pi.hProcess);
    }
    bool Start(const std::wstring& folder) {
        std::wstring exe = std::wstring(SONVEL_BINARY_DIR, SONVEL_BINARY_DIR + sizeof(SONVEL_BINARY_DIR) - 1);
        exe += L"/sonvel.exe";
        std::wstring cmd = L"\"" + exe + L"\"";
        STARTUPINFOW si{};
        si.cb = sizeof si;
        return CreateProcessW(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                              &si, &pi);
    }
    DWORD Exit(DWORD ms) {
        DWORD code = 99;
        if (WaitForSingleObject(pi.hProcess, ms) == WAIT_OBJECT_0) GetExitCodeProcess(pi.hProcess, &code);
        return code;
    }
};

int VisibleMainWindows(HWND* last) {
    int n = 0;
    for (HWND w = FindWindowExW(nullptr, nullptr, L"SONVEL MAIN WINDOW", nullptr); w;
         w = FindWindowExW(nullptr, w, L"SONVEL MAIN WINDOW", nullptr))
        if (IsWindowVisible(w)) ++n, *last = w;
    return n;
}

} // namespace

TEST(AppStart, ShowsTheMainWindowAndEndsWithTheDialogResult) {
    mainwin::ShownWindowLock shown;
    // The language is chosen in the settings file, so no chooser waits for an answer.
    mainwin::ScratchDir dir("appstart");
    const char ini[] =
        "<?xml version=\"1.0\" ?>\n<config><language>0</language>\n<driver_type>1</driver_type>\n"
        "<capture>0</capture>\n</config>\n";
    FILE* f = std::fopen(dir.File("sonvel.ini").c_str(), "wb");
    ASSERT_TRUE(f && std::fwrite(ini, 1, sizeof ini - 1, f) == sizeof ini - 1 && std::fclose(f) == 0);
    const std::wstring folder = plat::Utf8ToWide(dir.Path());

    Child first, second;
    ASSERT_TRUE(first.Start(folder));
    HWND window = nullptr;
    for (int waited = 0; waited < 60000 && !VisibleMainWindows(&window); waited += 50)
        Sleep(50);
    ASSERT_NE(window, nullptr) << "no visible main window within 60 s";
    EXPECT_NE(GetDlgItem(window, IDC_MIC), nullptr) << "the main template, not a placeholder";

    // A second start finds the running window and ends without a window of its own.
    ASSERT_TRUE(second.Start(folder));
    EXPECT_EQ(second.Exit(30000), 0u);
    EXPECT_EQ(VisibleMainWindows(&window), 1);

    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(first.Exit(15000), 1u) << "the main dialog ends with 1 through the close path";
}
