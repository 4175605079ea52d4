// Render over WASAPI: 16-bit PCM at the requested rate and channel count,
// shaped from the endpoint's mix format, in exclusive mode driven by the
// device's event. When the device refuses an exclusive stream the same format
// is opened in shared mode with the system's conversion, and each event then
// fills only the part of the buffer the device has played.
//
// Threads: Open/Start/Stop/Close come from the engine's control thread (COM
// initialised). The render thread lives from Start to Stop/Close, calls
// OnSoundOut, and is ended by the shutdown event and joined.
#pragma once

#include "drivers/mme/CMMERenderer.h"
#include "drivers/wasapi/WasapiCommon.h"

#include <atomic>

class CWASAPIRenderer : public CMMERenderer {
  public:
    CWASAPIRenderer();
    ~CWASAPIRenderer() override;

    void SetEnumeratorFactory(DeviceEnumeratorFactory factory) { m_Factory = std::move(factory); }

    int SelectDevice(int32_t index) override;
    int Open(int channels, int samplesPerSec, int bitsPerSample, int latencyMs) override;
    void Close() override;
    int Start() override;
    int Stop() override;
    int EnumDevice(int32_t index, AudioDeviceInfo* info) override;
    int32_t FindDevice(const wchar_t* name, const wchar_t* id) override;
    int IsOpen() override;

    // Shapes the stream format from the endpoint's mix format. 1 / 0.
    int SetAudioFormat(int channels, int rate, int bits);

    // How the open stream runs: for the device check tool and the tests.
    bool IsSharedMode() const { return m_Shared; }
    REFERENCE_TIME GetBufferDuration() const { return m_Duration; }
    UINT32 GetBufferFrames() const { return m_BufferFrames; }
    UINT32 GetFrameSize() const { return m_FrameSize; }
    // Shared-mode refills since Open that found nothing left queued.
    int GetUnderrunCount() const { return m_Underruns.load(); }

  private:
    bool InitializeStream();
    bool ActivateClient();
    // Asks the listener for what the device can take and queues it. False on failure.
    bool FillBuffer();
    void ReleaseAll();
    void ThreadMain();

    DeviceEnumeratorFactory m_Factory;
    CComRef<IMMDevice> m_pEndpoint;
    CComRef<IAudioClient> m_pAudioClient;
    CComRef<IAudioRenderClient> m_pRenderClient;
    CThread* m_pRenderThread = nullptr;
    HANDLE m_hShutdownEvent = nullptr;
    HANDLE m_hSamplesReadyEvent = nullptr;
    WAVEFORMATEX* m_pStreamFormat = nullptr;
    UINT32 m_FrameSize = 0;
    UINT32 m_BufferFrames = 0;
    REFERENCE_TIME m_Duration = 0;
    bool m_Shared = false;
    std::atomic<bool> m_Primed{false}; // Start has queued the first fill
    std::atomic<int> m_Underruns{0};
};
