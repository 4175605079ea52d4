// Render over WASAPI: 16-bit PCM at the requested rate and channel count,
// shaped from the endpoint's mix format, in exclusive mode driven by the
// device's event. When the device refuses an exclusive stream the same format
// is opened in shared mode with the system's conversion, and each event then
// fills only the part of the buffer the device has played.
//
// Threads: Open/Start/Stop/Close come from the engine's control thread (COM
// initialised). The render thread lives from Start to Stop/Close
// (CWasapiDriver) and calls OnSoundOut.
#pragma once

#include "drivers/CRenderDriver.h"
#include "drivers/wasapi/CWasapiDriver.h"

#include <atomic>

class CWASAPIRenderer : public CWasapiDriver<CRenderDriver> {
  public:
    CWASAPIRenderer() : CWasapiDriver(1920) { m_Latency = 10; }
    ~CWASAPIRenderer() override;

    int SelectDevice(int32_t index) override;
    int Open(int channels, int samplesPerSec, int bitsPerSample, int latencyMs) override;
    void Close() override;
    int Start() override;
    int Stop() override;
    int EnumDevice(int32_t index, AudioDeviceInfo* info) override;
    int32_t FindDevice(const wchar_t* name, const wchar_t* id) override {
        return FindEndpoint(m_Factory, eRender, name, id);
    }

    // Shapes the stream format from the endpoint's mix format. 1 / 0.
    int SetAudioFormat(int channels, int rate, int bits);

    UINT32 GetFrameSize() const { return m_FrameSize; }
    // Shared-mode refills since Open that found nothing left queued.
    int GetUnderrunCount() const { return m_Underruns.load(); }

  private:
    bool InitializeStream();
    // Asks the listener for what the device can take and queues it. False on failure.
    bool FillBuffer();
    void WorkerMain() override;
    bool ServiceStream() override { return FillBuffer(); }

    CComRef<IAudioRenderClient> m_pRenderClient;
    WAVEFORMATEX* m_pStreamFormat = nullptr;
    UINT32 m_FrameSize = 0;
    std::atomic<bool> m_Primed{false}; // Start has queued the first fill
    std::atomic<int> m_Underruns{0};
};
