// The test capture driver: no sound API behind it; it delivers a CTestSignal.
// With CTestRenderer it makes the pair the native build, the engine's tests and
// sonvel-tool run the whole audio path through.
//
// Threads: like a real driver, it runs one worker thread from Start to Stop
// and calls the listener only on it. Configure (Set*) only while stopped.
#pragma once

#include "drivers/CCaptureDriver.h"
#include "drivers/CRenderDriver.h"
#include "drivers/test/CTestSignal.h"
#include "platform/Thread.h"

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class CTestCapture : public CCaptureDriver {
  public:
    CTestCapture();
    ~CTestCapture() override;

    // ---- configuration
    void SetSignal(std::shared_ptr<CTestSignal> signal) { m_Signal = std::move(signal); }
    // Frames per delivered block (0: a tenth of a second's worth... the default 10 ms).
    void SetBlockFrames(uint32_t frames) { m_BlockFrames = frames; }
    // Deliver 32-bit float blocks (each 16-bit sample s as s / 32768) instead of 16-bit.
    void SetFloat(bool on) { m_Float = on; }
    // Pace blocks like a device (true) or deliver as fast as `ready` allows.
    void SetRealtime(bool on) { m_Realtime = on; }
    // Fast mode waits until this answers true before each block (back-pressure).
    void SetFlowControl(std::function<bool()> ready) { m_Ready = std::move(ready); }
    // Names listed by EnumDevice (the default: one device, "Test Capture").
    void SetDevices(std::vector<std::wstring> names) { m_Devices = std::move(names); }
    void SetFailOpen(bool fail) { m_FailOpen = fail; }
    // Loopback-like: Open ignores the asked format and runs at this mix format
    // (2 channels; `bits` 8/16/24/32 integer, or 32 float), the way a loopback
    // endpoint does; rate 0 turns it off.
    void SetLoopbackMix(int rate, int bits, bool isFloat) {
        m_MixRate = rate;
        m_MixBits = bits;
        m_MixFloat = isFloat;
    }
    // Each block is fetched by a read that blocks this long and that Stop
    // cannot wake, like a driver call stuck in the device.
    void SetReadDelay(int ms) { m_ReadDelayMs = ms; }
    // How long Stop waits for the worker before it gives it up as hung.
    void SetStopLimit(int ms) { m_StopLimitMs = ms; }

    // ---- state for tests
    bool IsInRead() const { return m_InRead.load(); }
    uint64_t GetDeliveredFrames() const { return m_Delivered.load(); }
    uint32_t GetBlocksDelivered() const { return m_Blocks.load(); }
    bool IsSignalFinished() const { return m_SignalEnded.load(); }

    // ---- CCaptureDriver
    int Init(CSoundListener* listener) override;
    int SelectDevice(int32_t index) override;
    int Open(int channels, int samplesPerSec, int bitsPerSample, int latencyMs) override;
    void Close() override;
    int Start() override;
    int Stop() override;
    int EnumDevice(int32_t index, AudioDeviceInfo* info) override;
    int32_t FindDevice(const wchar_t* name, const wchar_t* id, int loopback) override;
    int IsOpen() override { return m_State != DRIVER_CLOSED; }
    int IsFloat() override { return m_Format.wFormatTag == WAVE_FORMAT_IEEE_FLOAT; }
    int CanLoopback() override { return m_MixRate > 0 ? 1 : 0; }
    int IsLoopback() override { return m_MixRate > 0 ? 1 : 0; }

  private:
    void Run();
    void Encode(const int16_t* pcm, size_t samples, uint8_t* out) const;

    std::shared_ptr<CTestSignal> m_Signal;
    uint32_t m_BlockFrames = 0;
    bool m_Float = false;
    bool m_Realtime = false;
    bool m_FailOpen = false;
    int m_MixRate = 0, m_MixBits = 16;
    bool m_MixFloat = false;
    int m_ReadDelayMs = 0;
    int m_StopLimitMs = STOP_THREAD_LIMIT_MS;
    std::atomic<bool> m_InRead{false};
    std::function<bool()> m_Ready;
    std::vector<std::wstring> m_Devices{L"Test Capture"};
    CThread* m_pThread = nullptr;
    std::atomic<bool> m_Quit{false};
    std::atomic<uint64_t> m_Delivered{0};
    std::atomic<uint32_t> m_Blocks{0};
    std::atomic<bool> m_SignalEnded{false};
};
