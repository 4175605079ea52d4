// What the driver's commands share: the started program and finding its windows.
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <string>

inline const wchar_t* const MAIN_CLASS = L"SONVEL MAIN WINDOW";

struct Process {
    PROCESS_INFORMATION pi{};
    // `folder` empty: the program runs in the driver's current folder.
    bool Start(const std::wstring& exe, const std::wstring& folder = {}) {
        STARTUPINFOW si{};
        si.cb = sizeof si;
        std::wstring cmd = L"\"" + exe + L"\"";
        return CreateProcessW(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr,
                              folder.empty() ? nullptr : folder.c_str(), &si, &pi) != 0;
    }
    bool Running() const { return pi.hProcess && WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT; }
    // Waits for the process to end by itself; kills it after `ms`.
    DWORD Finish(DWORD ms) {
        DWORD code = 259;
        if (!pi.hProcess) return code;
        if (WaitForSingleObject(pi.hProcess, ms) != WAIT_OBJECT_0) {
            if (ms) std::fprintf(stderr, "sonvel did not end, killing it\n");
            TerminateProcess(pi.hProcess, 99);
            WaitForSingleObject(pi.hProcess, 5000);
        }
        GetExitCodeProcess(pi.hProcess, &code);
        CloseHandle(pi.hProcess);
        CloseHandle(pi.hThread);
        pi = {};
        return code;
    }
    ~Process() {
        if (pi.hProcess) Finish(0);
    }
};

template <class F> HWND WaitWindow(F find, DWORD ms) {
    DWORD end = GetTickCount() + ms;
    do {
        HWND w = find();
        if (w && IsWindowVisible(w)) return w;
        Sleep(20);
    } while (static_cast<int32_t>(end - GetTickCount()) > 0);
    return nullptr;
}

// The first visible top-level window of process `pid` that `match` accepts,
// in Z order (the newest dialog is on top).
template <class F> HWND FindTopLevel(DWORD pid, F match) {
    struct Search {
        DWORD pid;
        F* match;
        HWND found;
    } s{pid, &match, nullptr};
    EnumWindows(
        [](HWND w, LPARAM p) -> BOOL {
            auto* s = reinterpret_cast<Search*>(p);
            DWORD owner = 0;
            GetWindowThreadProcessId(w, &owner);
            if (owner == s->pid && IsWindowVisible(w) && (*s->match)(w)) {
                s->found = w;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&s));
    return s.found;
}

int Serve();
