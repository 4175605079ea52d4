// Capture over WASAPI. A capture endpoint (index -1 or 0..n-1) is opened in
// exclusive mode and driven by the device's event; when the device refuses an
// exclusive stream the same 16-bit format is opened in shared mode with the
// system's conversion. The loopback of a render endpoint (1000 + n) is opened
// in shared mode on the endpoint's mix format and polled.
//
// Threads: Open/Start/Stop/Close and the device queries come from the engine's
// control thread, which has COM initialised. The capture thread lives from
// Start to Stop/Close; it is woken by the samples-ready event or its poll
// timeout, ended by the shutdown event and joined by Stop and Close.
// COM is reached only through the enumerator factory (SetEnumeratorFactory).
#pragma once

#include "drivers/mme/CMMECapture.h"
#include "drivers/wasapi/WasapiCommon.h"

#include <atomic>

class CWASAPICapture : public CMMECapture {
  public:
    CWASAPICapture();
    ~CWASAPICapture() override;

    // Where endpoints come from (the system enumerator unless replaced).
    // Set it before the first device operation.
    void SetEnumeratorFactory(DeviceEnumeratorFactory factory) { m_Factory = std::move(factory); }

    int SelectDevice(int32_t index) override;
    int Open(int channels, int samplesPerSec, int bitsPerSample, int latencyMs) override;
    void Close() override;
    int Start() override;
    int Stop() override;
    int EnumDevice(int32_t index, AudioDeviceInfo* info) override;
    int32_t FindDevice(const wchar_t* name, const wchar_t* id, int loopback) override;
    int IsOpen() override;
    int CanLoopback() override { return 1; }
    int IsLoopback() override { return m_DeviceIndex >= LOOPBACK_INDEX_BASE ? 1 : 0; }
    int IsFloat() override { return m_Format.wFormatTag == WAVE_FORMAT_IEEE_FLOAT ? 1 : 0; }

    // How the open stream runs: for the device check tool and the tests.
    bool IsSharedMode() const { return m_Shared; }
    int GetLatency() const { return m_Latency; }
    REFERENCE_TIME GetBufferDuration() const { return m_Duration; }
    UINT32 GetBufferFrames() const { return m_BufferFrames; }
    // Set by the capture thread once it runs: its poll period in ms and the
    // scheduler task it registered under.
    int GetPollPeriod() const { return m_PollPeriod.load(); }
    const wchar_t* GetSchedulerTask() const { return m_TaskName.load(); }
    // Packets the device marked as following lost data since Open.
    int GetGlitchCount() const { return m_Glitches.load(); }

  private:
    bool InitializeStream(int channels, int rate, int bits);
    bool InitializeEndpointStream(int channels, int rate, int bits);
    void ReleaseAll();
    void ThreadMain();
    // Reads one packet and hands it on. True when another read should follow.
    bool ReadPacket();
    // Hands `frames` frames to the listener (silence when `data` is null).
    void DeliverFrames(const BYTE* data, uint32_t frames);

    DeviceEnumeratorFactory m_Factory;
    CComRef<IMMDevice> m_pEndpoint;
    CComRef<IAudioClient> m_pAudioClient;
    CComRef<IAudioCaptureClient> m_pCaptureClient;
    CThread* m_pCaptureThread = nullptr;
    HANDLE m_hShutdownEvent = nullptr;
    HANDLE m_hSamplesReadyEvent = nullptr;
    WAVEFORMATEX* m_pMixFormat = nullptr;
    int32_t m_Latency = 10;
    UINT32 m_BufferFrames = 0;
    REFERENCE_TIME m_Duration = 0;
    bool m_Loopback = false;     // the open stream is a loopback source (polled)
    bool m_Shared = false;       // the open stream runs in shared mode
    bool m_DeviceLost = false;   // capture thread only: the client reported the device gone
    bool m_HavePosition = false; // capture thread only: m_NextPosition is known
    UINT64 m_NextPosition = 0;   // device position the next packet should start at
    std::atomic<int> m_Glitches{0};
    std::atomic<int> m_PollPeriod{0};
    std::atomic<const wchar_t*> m_TaskName{nullptr};
};
