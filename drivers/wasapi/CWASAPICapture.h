// Capture over WASAPI. A capture endpoint (index -1 or 0..n-1) is opened in
// exclusive mode and driven by the device's event; when the device refuses an
// exclusive stream the same 16-bit format is opened in shared mode with the
// system's conversion. The loopback of a render endpoint (1000 + n) is opened
// in shared mode on the endpoint's mix format and polled.
//
// Threads: Open/Start/Stop/Close and the device queries come from the engine's
// control thread, which has COM initialised. The capture thread lives from
// Start to Stop/Close (CWasapiDriver); it reads every packet waiting at each
// wake and hands it to the listener.
#pragma once

#include "drivers/CCaptureDriver.h"
#include "drivers/wasapi/CWasapiDriver.h"

#include <atomic>

class CWASAPICapture : public CWasapiDriver<CCaptureDriver> {
  public:
    CWASAPICapture() : CWasapiDriver(960) {}
    ~CWASAPICapture() override;

    int SelectDevice(int32_t index) override;
    int Open(int channels, int samplesPerSec, int bitsPerSample, int latencyMs) override;
    void Close() override;
    int Start() override;
    int Stop() override;
    int EnumDevice(int32_t index, AudioDeviceInfo* info) override;
    int32_t FindDevice(const wchar_t* name, const wchar_t* id, int loopback) override;
    int CanLoopback() override { return 1; }
    int IsLoopback() override { return m_DeviceIndex >= LOOPBACK_INDEX_BASE ? 1 : 0; }
    int IsFloat() override { return m_Format.wFormatTag == WAVE_FORMAT_IEEE_FLOAT ? 1 : 0; }

    int GetLatency() const { return m_Latency; }
    // Packets the device marked as following lost data since Open.
    int GetGlitchCount() const { return m_Glitches.load(); }

  private:
    bool InitializeStream(int channels, int rate, int bits);
    bool InitializeLoopbackStream();
    bool InitializeEndpointStream(int channels, int rate, int bits);
    void WorkerMain() override;
    bool ServiceStream() override;
    // Reads one packet and hands it on. True when a packet was read.
    bool ReadPacket();
    // Hands `frames` frames to the listener (silence when `data` is null).
    void DeliverFrames(const BYTE* data, uint32_t frames);

    CComRef<IAudioCaptureClient> m_pCaptureClient;
    WAVEFORMATEX* m_pMixFormat = nullptr;
    int32_t m_Latency = 10;
    bool m_Loopback = false;     // the open stream is a loopback source (polled)
    bool m_DeviceLost = false;   // capture thread only: the client reported the device gone
    bool m_HavePosition = false; // capture thread only: m_NextPosition is known
    UINT64 m_NextPosition = 0;   // device position the next packet should start at
    std::atomic<int> m_Glitches{0};
};
