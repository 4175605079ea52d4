// The test render driver: no sound API behind it; it keeps what it is given.
// With CTestCapture it makes the pair the native build, the engine's tests and
// sonvel-tool run the whole audio path through.
//
// Threads: like a real driver, it runs one worker thread from Start to Stop
// and calls the listener only on it. Configure (Set*) only while stopped.
#pragma once

#include "drivers/CRenderDriver.h"
#include "platform/Thread.h"

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class CTestRenderer : public CRenderDriver {
  public:
    CTestRenderer();
    ~CTestRenderer() override;

    // ---- configuration
    // Bytes asked of the listener per call (0: 10 ms of the open format).
    void SetBlockBytes(uint32_t bytes) { m_RequestBytes = bytes; }
    void SetRealtime(bool on) { m_Realtime = on; }
    // Keep at most this many received bytes (older ones are not dropped: later ones are).
    void SetKeepLimit(size_t bytes) { m_KeepLimit = bytes; }
    void SetDevices(std::vector<std::wstring> names) { m_Devices = std::move(names); }
    void SetFailOpen(bool fail) { m_FailOpen = fail; }

    // ---- what it received
    std::vector<uint8_t> GetReceived();
    uint64_t GetReceivedBytes() const { return m_Total.load(); }
    uint32_t GetCalls() const { return m_Calls.load(); }

    // ---- CRenderDriver
    int Init(CSoundListener* listener) override;
    int SelectDevice(int32_t index) override;
    int Open(int channels, int samplesPerSec, int bitsPerSample, int latencyMs) override;
    void Close() override;
    int Start() override;
    int Stop() override;
    int EnumDevice(int32_t index, AudioDeviceInfo* info) override;
    int32_t FindDevice(const wchar_t* name, const wchar_t* id) override;
    int IsOpen() override { return m_State != DRIVER_CLOSED; }

  private:
    void Run();

    uint32_t m_RequestBytes = 0;
    bool m_Realtime = false;
    bool m_FailOpen = false;
    size_t m_KeepLimit = 64u << 20;
    std::vector<std::wstring> m_Devices{L"Test Renderer"};
    CThread* m_pThread = nullptr;
    std::atomic<bool> m_Quit{false};
    std::mutex m_ReceivedLock;
    std::vector<uint8_t> m_Received;
    std::atomic<uint64_t> m_Total{0};
    std::atomic<uint32_t> m_Calls{0};
};
