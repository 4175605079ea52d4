// Time of one level-meter repaint under the platform's GDI: the meter window
// inside a placeholder the size of the main window's, repainted with a new
// level each time (memory bitmap, 32 cells, copy to the window).
//   bench_meter_paint [repaints]
#include "ui/CLevelMeter.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

int wmain(int argc, wchar_t** argv) {
    const int repaints = argc > 1 ? std::max(1, _wtoi(argv[1])) : 20000;
    HINSTANCE instance = GetModuleHandleW(nullptr);
    CChildView::RegisterClass(instance);
    HWND top = CreateWindowExW(0, L"STATIC", L"meter bench", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 640, 120,
                               nullptr, nullptr, instance, nullptr);
    // 348 x 14 dialog units of the main window at the default font.
    HWND placeholder = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_BLACKFRAME, 10, 10, 522,
                                       23, top, nullptr, instance, nullptr);
    CLevelMeter meter;
    if (!top || !placeholder || !meter.Attach(placeholder)) {
        std::fprintf(stderr, "no window\n");
        return 1;
    }
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageW(&msg);

    std::vector<double> rounds;
    LARGE_INTEGER freq;
    QueryPerformanceFrequency(&freq);
    for (int round = 0; round < 5; ++round) {
        LARGE_INTEGER t0, t1;
        QueryPerformanceCounter(&t0);
        for (int i = 0; i < repaints; ++i) {
            meter.SetLevel(i % 33);
            UpdateWindow(meter.GetWindow()); // paints now, synchronously
        }
        QueryPerformanceCounter(&t1);
        rounds.push_back(1e6 * static_cast<double>(t1.QuadPart - t0.QuadPart) /
                         static_cast<double>(freq.QuadPart) / repaints);
    }
    std::sort(rounds.begin(), rounds.end());
    std::printf("meter repaint, %d repaints x 5 rounds: min %.1f us, median %.1f us, max %.1f us\n", repaints,
                rounds.front(), rounds[2], rounds.back());
    DestroyWindow(top);
    return 0;
}
