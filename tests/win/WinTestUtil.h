// Helpers for the Windows driver tests: a listener that keeps what it is given
// and produces a known pattern, a trace collector, and a bounded wait.
#pragma once

#include "drivers/AudioTypes.h"
#include "platform/Platform.h"

#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <windows.h>

namespace wintest {

// Held by a test that plays into a null sink and records its monitor, so two
// test processes under one wineserver never mix their tones into one sink.
class SinkLock {
  public:
    SinkLock() : m_Mutex(CreateMutexW(nullptr, FALSE, L"Local\\sonvel-testbed-sinks")) {
        if (m_Mutex) {
            DWORD r = WaitForSingleObject(m_Mutex, 120000);
            m_Held = r == WAIT_OBJECT_0 || r == WAIT_ABANDONED;
        }
    }
    ~SinkLock() {
        if (m_Held) ReleaseMutex(m_Mutex);
        if (m_Mutex) CloseHandle(m_Mutex);
    }
    SinkLock(const SinkLock&) = delete;
    SinkLock& operator=(const SinkLock&) = delete;

  private:
    HANDLE m_Mutex;
    bool m_Held = false;
};

// Polls `condition` every 5 ms for up to `ms`.
inline bool WaitFor(const std::function<bool()>& condition, int ms) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
        if (condition()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return condition();
}

class TraceLog {
  public:
    TraceLog() { plat::SetTraceSink(&TraceLog::Sink, this); }
    ~TraceLog() { plat::SetTraceSink(nullptr, nullptr); }
    bool Has(const std::string& line) {
        std::lock_guard<std::mutex> lock(m_Lock);
        for (const std::string& l : m_Lines)
            if (l == line) return true;
        return false;
    }
    bool HasPrefix(const std::string& prefix) {
        std::lock_guard<std::mutex> lock(m_Lock);
        for (const std::string& l : m_Lines)
            if (l.compare(0, prefix.size(), prefix) == 0) return true;
        return false;
    }
    std::vector<std::string> Lines() {
        std::lock_guard<std::mutex> lock(m_Lock);
        return m_Lines;
    }

  private:
    static void Sink(const char* line, void* self) {
        auto* log = static_cast<TraceLog*>(self);
        std::lock_guard<std::mutex> lock(log->m_Lock);
        log->m_Lines.emplace_back(line);
    }
    std::mutex m_Lock;
    std::vector<std::string> m_Lines;
};

// Keeps every captured block; renders bytes that count up from 1 (byte i of
// the whole output stream is (i + 1) & 0xFF), optionally a few bytes short.
class RecordingListener : public CSoundListener {
  public:
    int32_t OnSoundIn(const void* data, uint32_t bytes) override {
        std::lock_guard<std::mutex> lock(m_Lock);
        m_InSizes.push_back(bytes);
        auto* p = static_cast<const uint8_t*>(data);
        if (m_Keep) m_In.insert(m_In.end(), p, p + bytes);
        ++m_InCalls;
        return m_InResult;
    }
    uint32_t OnSoundOut(void* buffer, uint32_t bytes) override {
        std::lock_guard<std::mutex> lock(m_Lock);
        m_OutAsked.push_back(bytes);
        ++m_OutCalls;
        if (m_OutNothing) return 0;
        uint32_t n = bytes > m_OutShort ? bytes - m_OutShort : 0;
        auto* p = static_cast<uint8_t*>(buffer);
        for (uint32_t i = 0; i < n; ++i)
            p[i] = static_cast<uint8_t>(++m_OutCounter);
        return n;
    }
    void OnSoundEnd(void* header) override {
        (void)header;
        ++m_Ends;
    }

    std::vector<uint32_t> InSizes() {
        std::lock_guard<std::mutex> lock(m_Lock);
        return m_InSizes;
    }
    std::vector<uint8_t> In() {
        std::lock_guard<std::mutex> lock(m_Lock);
        return m_In;
    }
    std::vector<uint32_t> OutAsked() {
        std::lock_guard<std::mutex> lock(m_Lock);
        return m_OutAsked;
    }

    std::atomic<int> m_InCalls{0}, m_OutCalls{0}, m_Ends{0};
    int32_t m_InResult = 0;
    uint32_t m_OutShort = 0;
    bool m_OutNothing = false;
    bool m_Keep = true;

  private:
    std::mutex m_Lock;
    std::vector<uint32_t> m_InSizes, m_OutAsked;
    std::vector<uint8_t> m_In;
    uint32_t m_OutCounter = 0;
};

} // namespace wintest
