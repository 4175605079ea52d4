// Timings for docs/bench-ui.md, not checks: disabled in the normal run;
// scripts/bench-ui.sh runs them. Start-up: process start to the main window
// shown; meter: one full repaint through the memory bitmap.
#include "drivers/test/CTestDrivers.h"
#include "effects/CEffectManager.h"
#include "tests/win/MainWindowRig.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

using namespace mainwin;

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

TEST(BenchUi, DISABLED_StartToMainWindowShown) {
    ShownWindowLock shown;
    ScratchDir dir("bench");
    const char ini[] =
        "<?xml version=\"1.0\" ?>\n<config><language>1</language>\n<driver_type>1</driver_type>\n"
        "<capture>0</capture>\n</config>\n";
    FILE* f = _wfopen(plat::Utf8ToWide(dir.File("sonvel.ini")).c_str(), L"wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(ini, 1, sizeof ini - 1, f);
    std::fclose(f);
    const std::wstring exe =
        std::wstring(SONVEL_BINARY_DIR, SONVEL_BINARY_DIR + sizeof(SONVEL_BINARY_DIR) - 1) + L"/sonvel.exe";
    std::vector<double> times;
    for (int run = 0; run < 5; ++run) {
        STARTUPINFOW si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        std::wstring cmd = L"\"" + exe + L"\"";
        const auto t0 = Clock::now();
        ASSERT_TRUE(CreateProcessW(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                   plat::Utf8ToWide(dir.Path()).c_str(), &si, &pi));
        HWND w = nullptr;
        while (!w && Clock::now() - t0 < std::chrono::seconds(60)) {
            HWND found = FindWindowW(L"SONVEL MAIN WINDOW", nullptr);
            if (found && IsWindowVisible(found))
                w = found;
            else
                Sleep(2);
        }
        times.push_back(Ms(Clock::now() - t0));
        ASSERT_NE(w, nullptr);
        PostMessageW(w, WM_CLOSE, 0, 0);
        WaitForSingleObject(pi.hProcess, 15000);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
    std::sort(times.begin(), times.end());
    std::printf("start to main window shown: min %.0f ms, median %.0f ms, max %.0f ms (5 runs)\n",
                times.front(), times[2], times.back());
}

TEST(BenchUi, DISABLED_MeterRepaint) {
    ShownWindowLock shown;
    ScratchDir dir("bench-meter");
    TestSettings settings(dir, 1);
    CTestDriverFactory factory;
    TestApp app(&factory);
    app.DisableInstanceSearch();
    ASSERT_EQ(app.InitInstance(GetModuleHandleW(nullptr)), 1);
    HWND w = app.Create(GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(w, nullptr);
    ShowWindow(w, SW_SHOWNOACTIVATE);
    Pump(300);
    HWND meter = app.m_LevelMeter.GetWindow();
    RECT r;
    GetClientRect(meter, &r);
    const int repaints = 2000;
    const auto t0 = Clock::now();
    for (int i = 0; i < repaints; ++i) {
        app.m_LevelMeter.SetLevel(i % 32);
        UpdateWindow(meter);
    }
    const double each = Ms(Clock::now() - t0) / repaints;
    std::printf("meter repaint (%ld x %ld px): %.3f ms each over %d repaints\n", r.right, r.bottom, each,
                repaints);
    app.CanClose(1);
    delete g_pEffectManager;
    g_pEffectManager = nullptr;
}

} // namespace
