// The capture driver interface the engine holds. Implementations: the MME and
// WASAPI drivers (Windows) and the test capture driver (every build).
// All operations are called from the engine's control thread; the listener is
// called from the driver's own worker thread.
#pragma once

#include "drivers/AudioTypes.h"

#include <atomic>

class CCaptureDriver {
  public:
    virtual ~CCaptureDriver() = default;

    // Stores the listener and resets the driver to closed. Result 0.
    virtual int Init(CSoundListener* listener) = 0;
    virtual void Terminate() { Close(); }
    // 1 when the index was accepted and stored, 0 when out of range.
    virtual int SelectDevice(int32_t index) = 0;
    // 1 on success; 0 on failure and when already open.
    virtual int Open(int channels, int samplesPerSec, int bitsPerSample, int latencyMs) = 0;
    virtual void Close() = 0;
    // 1 when running afterwards.
    virtual int Start() = 0;
    virtual int Stop() = 0;
    virtual int32_t GetDeviceIndex() { return m_DeviceIndex; }
    // Describes the selected device. 1 when `info` is given.
    virtual int GetDeviceInfo(AudioDeviceInfo* info) {
        if (!info) return 0;
        EnumDevice(m_DeviceIndex, info);
        return 1;
    }
    // Number of devices in the list `index` addresses; fills `info` for that device.
    virtual int EnumDevice(int32_t index, AudioDeviceInfo* info) = 0;
    // Index of the device with this name (and endpoint id), or -1.
    virtual int32_t FindDevice(const wchar_t* name, const wchar_t* id, int loopback) = 0;
    virtual int IsOpen() = 0;
    virtual int IsStarted() { return m_State == DRIVER_RUNNING ? 1 : 0; }
    virtual int CanLoopback() { return 0; }
    virtual int IsLoopback() { return 0; }
    virtual WAVEFORMATEX* GetFormat() { return &m_Format; }
    virtual int IsFloat() { return 0; }
    virtual uint32_t GetElapsedSeconds() {
        return m_Format.nSamplesPerSec ? static_cast<uint32_t>(m_ElapsedFrames / m_Format.nSamplesPerSec) : 0;
    }
    virtual void ResetPosition() { m_ElapsedFrames = 0; }
    virtual uint32_t GetBlockSize() { return m_BlockSize; }
    // True once Stop or Close gave up on a worker thread stuck in a call that
    // does not return. The driver then keeps (leaks) everything that thread
    // uses, and its owner must leak the driver object instead of deleting it.
    bool HasAbandonedThread() const { return m_ThreadAbandoned.load(); }

  protected:
    int32_t m_DeviceIndex = DEFAULT_DEVICE_INDEX;
    std::atomic<int32_t> m_State{DRIVER_CLOSED};
    WAVEFORMATEX m_Format{};
    CSoundListener* m_pListener = nullptr;
    std::atomic<bool> m_ThreadAbandoned{false};
    std::atomic<uint64_t> m_ElapsedFrames{0};
    uint32_t m_BlockSize = 960;
};
