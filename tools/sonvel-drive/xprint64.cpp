// The optional debug-output library for test runs: every debug line of the
// program is appended to xprint64.log beside this library, so a script can
// count what the program reported (dropped blocks, FIFO overflows, errors).
#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <cwchar>
#include <string>

namespace {
FILE* g_Log = nullptr;
CRITICAL_SECTION g_Lock;
} // namespace

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        InitializeCriticalSection(&g_Lock);
        wchar_t path[MAX_PATH * 2] = {};
        DWORD n = GetModuleFileNameW(instance, path, MAX_PATH * 2);
        std::wstring log(path, n);
        log = log.substr(0, log.find_last_of(L"\\/") + 1) + L"xprint64.log";
        g_Log = _wfopen(log.c_str(), L"ab");
    } else if (reason == DLL_PROCESS_DETACH && g_Log) {
        std::fclose(g_Log);
        g_Log = nullptr;
    }
    return TRUE;
}

extern "C" __declspec(dllexport) int xwprintf(const wchar_t* format, ...) {
    if (!g_Log || !format) return 0;
    wchar_t line[2048];
    va_list args;
    va_start(args, format);
    int n = _vsnwprintf(line, 2047, format, args);
    va_end(args);
    line[2047] = L'\0';
    char utf8[4 * 2048];
    int bytes = WideCharToMultiByte(CP_UTF8, 0, line, -1, utf8, sizeof utf8, nullptr, nullptr);
    EnterCriticalSection(&g_Lock);
    if (bytes > 1) std::fwrite(utf8, 1, static_cast<size_t>(bytes - 1), g_Log);
    std::fflush(g_Log);
    LeaveCriticalSection(&g_Lock);
    return n;
}
