// The render driver interface the engine holds. Implementations: the MME and
// WASAPI drivers (Windows) and the test render driver (every build).
// All operations are called from the engine's control thread; the listener's
// OnSoundOut is called from the driver's own worker thread.
#pragma once

#include "drivers/AudioTypes.h"

#include <atomic>

class CRenderDriver {
  public:
    virtual ~CRenderDriver() = default;

    virtual int Init(CSoundListener* listener) = 0;
    virtual void Terminate() { Close(); }
    virtual int SelectDevice(int32_t index) = 0;
    virtual int Open(int channels, int samplesPerSec, int bitsPerSample, int latencyMs) = 0;
    virtual void Close() = 0;
    virtual int Start() = 0;
    virtual int Stop() = 0;
    virtual int32_t GetDeviceIndex() { return m_DeviceIndex; }
    virtual int GetDeviceInfo(AudioDeviceInfo* info) {
        if (!info) return 0;
        EnumDevice(m_DeviceIndex, info);
        return 1;
    }
    virtual int EnumDevice(int32_t index, AudioDeviceInfo* info) = 0;
    virtual int32_t FindDevice(const wchar_t* name, const wchar_t* id) = 0;
    virtual int IsOpen() = 0;
    virtual int IsStarted() { return m_State == DRIVER_RUNNING ? 1 : 0; }
    virtual WAVEFORMATEX* GetFormat() { return &m_Format; }
    // Volumes act only on an open MME device; every other driver answers 0.
    virtual int GetVolume(uint16_t* left, uint16_t* right) {
        (void)left;
        (void)right;
        return 0;
    }
    virtual int SetVolume(uint16_t left, uint16_t right) {
        (void)left;
        (void)right;
        return 0;
    }
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
    uint32_t m_BlockSize = 1920;
    int32_t m_Latency = 0;
};

// Creates the driver pair of a family; the engine asks it for a new pair
// whenever the driver family changes. Windows supplies MME/WASAPI, tests and the
// native tool supply the test pair.
class CDriverFactory {
  public:
    virtual ~CDriverFactory() = default;
    // driverType 1 = MME, any other value = WASAPI (the test factory ignores it).
    virtual class CCaptureDriver* CreateCapture(int driverType) = 0;
    virtual CRenderDriver* CreateRender(int driverType) = 0;
};
