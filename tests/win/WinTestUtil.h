// Helpers for the Windows tests: locks shared across test processes, a bounded
// wait, a scratch folder, the common controls, a format summary and a listener
// that keeps what it is given and plays a tone.
#pragma once

#include "drivers/AudioTypes.h"
#include "platform/Platform.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <tuple>
#include <vector>

#include <windows.h>

#include <commctrl.h>

#include <gtest/gtest.h>

namespace wintest {

// A lock shared by the test processes under one wineserver, held for a scope.
class NamedLock {
  public:
    NamedLock(const wchar_t* name, DWORD waitMs) : m_Mutex(CreateMutexW(nullptr, FALSE, name)) {
        if (m_Mutex) {
            DWORD r = WaitForSingleObject(m_Mutex, waitMs);
            m_Held = r == WAIT_OBJECT_0 || r == WAIT_ABANDONED;
        }
    }
    ~NamedLock() {
        if (m_Held) ReleaseMutex(m_Mutex);
        if (m_Mutex) CloseHandle(m_Mutex);
    }
    NamedLock(const NamedLock&) = delete;
    NamedLock& operator=(const NamedLock&) = delete;

  private:
    HANDLE m_Mutex;
    bool m_Held = false;
};

// Held by a test that plays into a null sink and records its monitor, so two
// test processes never mix their tones into one sink.
struct SinkLock : NamedLock {
    SinkLock() : NamedLock(L"Local\\sonvel-testbed-sinks", 120000) {}
};

// Runs the thread's messages until `condition` holds or `ms` pass. Waits on a
// real device allow 10 s: Wine's streams may hand over nothing for a few
// seconds after a start, and a wait that holds ends at once anyway.
inline bool WaitFor(const std::function<bool()>& condition, int ms) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        for (MSG msg; PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE);) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (condition()) return true;
        if (std::chrono::steady_clock::now() >= end) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
}

// A scratch folder of its own per test and process, removed with its files.
class ScratchDir {
  public:
    explicit ScratchDir(std::string name) {
        for (char& c : name)
            if (c == '/') c = '-';
        m_Path = std::filesystem::temp_directory_path() /
                 ("sonvel-test-" + std::to_string(GetCurrentProcessId()) + "-" + name);
        std::filesystem::create_directories(m_Path);
    }
    ~ScratchDir() {
        std::error_code ignored;
        std::filesystem::remove_all(m_Path, ignored);
    }
    std::string File(const std::string& name) const { return Path() + "\\" + name; }
    std::string Path() const { return plat::WideToUtf8(m_Path.wstring()); }

  private:
    std::filesystem::path m_Path;
};

// The module, with the common controls the dialogs use registered.
inline HINSTANCE Module() {
    static INITCOMMONCONTROLSEX icc{sizeof icc, ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
    static const bool ready = InitCommonControlsEx(&icc) != 0;
    (void)ready;
    return GetModuleHandleW(nullptr);
}

// A control's notification as the control sends it (a click by default).
inline void Command(HWND window, int id, int code = BN_CLICKED) {
    SendMessageW(window, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(GetDlgItem(window, id)));
}

// Tag, channels, rate, bits and block size of a format, to compare in one go.
using Fmt = std::tuple<int, int, int, int, int>;
inline Fmt FormatOf(const WAVEFORMATEX& f) {
    return {f.wFormatTag, f.nChannels, static_cast<int>(f.nSamplesPerSec), f.wBitsPerSample, f.nBlockAlign};
}

// Keeps every captured block; renders a 16-bit stereo sine (silence at
// amplitude 0), or a few bytes short of what was asked, or nothing at all.
class RecordingListener : public CSoundListener {
  public:
    int32_t OnSoundIn(const void* data, uint32_t bytes) override {
        std::lock_guard<std::mutex> lock(m_Lock);
        m_InSizes.push_back(bytes);
        m_In.insert(m_In.end(), static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + bytes);
        m_InBytes += bytes;
        ++m_InCalls;
        return m_InResult;
    }
    uint32_t OnSoundOut(void* buffer, uint32_t bytes) override {
        std::lock_guard<std::mutex> lock(m_Lock);
        m_OutAsked.push_back(bytes);
        ++m_OutCalls;
        if (m_OutNothing || m_OutShort) return m_OutNothing ? 0 : bytes - m_OutShort;
        auto* p = static_cast<int16_t*>(buffer);
        for (uint32_t i = 0; i < bytes / 4; ++i, ++m_OutFrame)
            p[2 * i] = p[2 * i + 1] = static_cast<int16_t>(
                std::lround(m_ToneAmplitude * std::sin(6.283185307179586 * m_ToneHz * m_OutFrame / 48000.0)));
        return bytes / 4 * 4;
    }
    void OnSoundEnd(void*) override { ++m_Ends; }

    std::vector<uint32_t> InSizes() { return Copy(m_InSizes); }
    std::vector<uint8_t> In() { return Copy(m_In); }
    std::vector<uint32_t> OutAsked() { return Copy(m_OutAsked); }

    std::atomic<int> m_InCalls{0}, m_OutCalls{0}, m_Ends{0};
    std::atomic<uint64_t> m_InBytes{0};
    int32_t m_InResult = 0;
    uint32_t m_OutShort = 0;
    bool m_OutNothing = false;
    double m_ToneHz = 0, m_ToneAmplitude = 0; // at 48 kHz

  private:
    template <class T> T Copy(const T& v) {
        std::lock_guard<std::mutex> lock(m_Lock);
        return v;
    }
    std::mutex m_Lock;
    std::vector<uint32_t> m_InSizes, m_OutAsked;
    std::vector<uint8_t> m_In;
    uint64_t m_OutFrame = 0;
};

} // namespace wintest
