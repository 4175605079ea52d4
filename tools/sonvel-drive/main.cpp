// Drives the real sonvel.exe from outside its process, the way a user does:
// starts it, waits for its windows, opens dialogs through its menu commands and
// buttons, captures what is on the screen and closes everything again.
//
//   sonvel-drive shots  EXE PREFIX      main window and every dialog, as PREFIX-<name>.bmp
//   sonvel-drive chooser EXE PREFIX     the language chooser of a first start
//   sonvel-drive startup EXE RUNS       milliseconds from process start to the main window shown
//   sonvel-drive serve                  commands from standard input, as a user works (Serve.cpp)
//
// EXE runs in the current folder, so a sonvel.ini placed there decides the
// language. Exit code 0 when every step found its window.
#include "tools/sonvel-drive/Drive.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

HWND FindMain() {
    return FindWindowW(MAIN_CLASS, nullptr);
}

struct OwnedSearch {
    std::vector<HWND> exclude;
    DWORD pid;
    HWND found;
};

// A visible top-level window of the process other than those already known (a
// dialog the main window or the effect editor opened, or a first-start chooser).
HWND FindOtherTopLevel(std::vector<HWND> exclude, DWORD pid) {
    OwnedSearch s{std::move(exclude), pid, nullptr};
    EnumWindows(
        [](HWND w, LPARAM p) -> BOOL {
            auto* s = reinterpret_cast<OwnedSearch*>(p);
            DWORD pid = 0;
            GetWindowThreadProcessId(w, &pid);
            bool known = std::find(s->exclude.begin(), s->exclude.end(), w) != s->exclude.end();
            if (!known && pid == s->pid && IsWindowVisible(w)) {
                s->found = w;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&s));
    return s.found;
}

// Copies the window's screen area into a 24-bit BMP.
bool Capture(HWND w, const std::wstring& path) {
    RedrawWindow(w, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
    Sleep(300);
    RECT r;
    if (!GetWindowRect(w, &r)) return false;
    const int width = r.right - r.left, height = r.bottom - r.top;
    if (width <= 0 || height <= 0) return false;
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 24;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(mem, dib);
    BitBlt(mem, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
    GdiFlush();
    const DWORD stride = ((width * 3 + 3) / 4) * 4, imageBytes = stride * height;
    BITMAPFILEHEADER fh{};
    fh.bfType = 0x4D42;
    fh.bfOffBits = sizeof fh + sizeof bi.bmiHeader;
    fh.bfSize = fh.bfOffBits + imageBytes;
    bool ok = false;
    HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (f != INVALID_HANDLE_VALUE) {
        DWORD n = 0;
        ok = WriteFile(f, &fh, sizeof fh, &n, nullptr) &&
             WriteFile(f, &bi.bmiHeader, sizeof bi.bmiHeader, &n, nullptr) &&
             WriteFile(f, bits, imageBytes, &n, nullptr);
        CloseHandle(f);
    }
    SelectObject(mem, old);
    DeleteObject(dib);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    return ok;
}

// Posts a command to `target` and captures the window it opens, then closes
// that window with `closeId` (a button id) or WM_CLOSE when 0.
bool ShootDialog(const std::vector<HWND>& known, DWORD pid, HWND target, int commandId,
                 const std::wstring& path, int closeId) {
    PostMessageW(target, WM_COMMAND, MAKEWPARAM(commandId, BN_CLICKED), 0);
    HWND other = WaitWindow([&] { return FindOtherTopLevel(known, pid); }, 10000);
    if (!other) {
        std::fprintf(stderr, "command %d opened no window\n", commandId);
        return false;
    }
    bool ok = Capture(other, path);
    if (closeId)
        PostMessageW(other, WM_COMMAND, MAKEWPARAM(closeId, BN_CLICKED), 0);
    else
        PostMessageW(other, WM_CLOSE, 0, 0);
    DWORD end = GetTickCount() + 5000;
    while (IsWindowVisible(other) && static_cast<int32_t>(end - GetTickCount()) > 0)
        Sleep(20);
    return ok;
}

int Shots(const std::wstring& exe, const std::wstring& prefix) {
    Process p;
    if (!p.Start(exe)) return 2;
    HWND main = WaitWindow(FindMain, 60000);
    if (!main) {
        std::fprintf(stderr, "no main window\n");
        return 3;
    }
    Sleep(1500); // first paint of the meter and the status boxes
    int failures = 0;
    failures += !Capture(main, prefix + L"-main.bmp");
    const DWORD pid = p.pi.dwProcessId;
    failures += !ShootDialog({main}, pid, main, 5014, prefix + L"-about.bmp", IDOK);
    failures += !ShootDialog({main}, pid, main, 6001, prefix + L"-device.bmp", IDCANCEL);
    failures += !ShootDialog({main}, pid, main, 6002, prefix + L"-recording.bmp", IDCANCEL);
    failures += !ShootDialog({main}, pid, main, 5017, prefix + L"-language.bmp", IDCANCEL);
    // The effect editor is modeless: EFX opens it, and its Add button the chooser.
    PostMessageW(main, WM_COMMAND, MAKEWPARAM(20103, BN_CLICKED), 0);
    HWND effects = WaitWindow([&] { return FindOtherTopLevel({main}, pid); }, 10000);
    if (effects) {
        failures += !Capture(effects, prefix + L"-effects.bmp");
        failures +=
            !ShootDialog({main, effects}, pid, effects, 20103, prefix + L"-effect-select.bmp", IDCANCEL);
        PostMessageW(main, WM_COMMAND, MAKEWPARAM(20103, BN_CLICKED), 0);
    } else {
        std::fprintf(stderr, "EFX opened no window\n");
        ++failures;
    }
    Sleep(500);
    PostMessageW(main, WM_CLOSE, 0, 0);
    p.Finish(20000);
    return failures ? 4 : 0;
}

int Chooser(const std::wstring& exe, const std::wstring& prefix) {
    Process p;
    if (!p.Start(exe)) return 2;
    HWND chooser = WaitWindow([&] { return FindOtherTopLevel({}, p.pi.dwProcessId); }, 60000);
    if (!chooser || FindMain()) return 3;
    bool ok = Capture(chooser, prefix + L"-chooser.bmp");
    PostMessageW(chooser, WM_COMMAND, IDOK, 0);
    HWND main = WaitWindow(FindMain, 30000);
    if (main) PostMessageW(main, WM_CLOSE, 0, 0);
    p.Finish(20000);
    return ok && main ? 0 : 4;
}

int Startup(const std::wstring& exe, int runs) {
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        LARGE_INTEGER f, t0, t1;
        QueryPerformanceFrequency(&f);
        QueryPerformanceCounter(&t0);
        Process p;
        if (!p.Start(exe)) return 2;
        HWND main = WaitWindow(FindMain, 60000);
        QueryPerformanceCounter(&t1);
        if (!main) return 3;
        ms.push_back(1000.0 * static_cast<double>(t1.QuadPart - t0.QuadPart) /
                     static_cast<double>(f.QuadPart));
        PostMessageW(main, WM_CLOSE, 0, 0);
        p.Finish(20000);
    }
    std::sort(ms.begin(), ms.end());
    std::printf("runs %d: min %.0f ms, median %.0f ms, max %.0f ms\n", runs, ms.front(), ms[ms.size() / 2],
                ms.back());
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc >= 4 && std::wstring(argv[1]) == L"shots") return Shots(argv[2], argv[3]);
    if (argc >= 4 && std::wstring(argv[1]) == L"chooser") return Chooser(argv[2], argv[3]);
    if (argc >= 4 && std::wstring(argv[1]) == L"startup") return Startup(argv[2], _wtoi(argv[3]));
    if (argc >= 2 && std::wstring(argv[1]) == L"serve") return Serve();
    std::fprintf(stderr, "usage: sonvel-drive shots|chooser EXE PREFIX | startup EXE RUNS | serve\n");
    return 2;
}
