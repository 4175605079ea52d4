// Render over waveOut with event callbacks: two headers filled by the listener
// and a worker thread from Open to Close that refills each header the device
// hands back. Also the base of CWASAPIRenderer, which inherits the format and
// state operations; the volume operations act only on an open waveOut device.
//
// Threads: Open/Start/Stop/Close and the volume operations come from the
// engine's control thread; OnSoundOut and OnSoundEnd run on the worker thread.
// A header is filled only by the side that has claimed it (m_Busy), so Start
// and the worker never write the same header twice.
#pragma once

#include "drivers/CRenderDriver.h"
#include "platform/Thread.h"

#include <windows.h>
#include <mmsystem.h>

#include <atomic>

class CMMERenderer : public CRenderDriver {
  public:
    CMMERenderer();
    ~CMMERenderer() override;

    int Init(CSoundListener* listener) override;
    int SelectDevice(int32_t index) override;
    int Open(int channels, int samplesPerSec, int bitsPerSample, int latencyMs) override;
    void Close() override;
    int Start() override;
    int Stop() override;
    int EnumDevice(int32_t index, AudioDeviceInfo* info) override;
    int32_t FindDevice(const wchar_t* name, const wchar_t* id) override;
    int IsOpen() override;
    int GetVolume(uint16_t* left, uint16_t* right) override;
    int SetVolume(uint16_t left, uint16_t right) override;

  protected:
    void CollectThread(CThread*& slot);

  private:
    void ThreadMain();
    // Clears the buffer, asks the listener for a block and writes it.
    void FillHeader(int index);

    std::atomic<HWAVEOUT> m_hWaveOut{nullptr};
    std::atomic<HANDLE> m_hEvent{nullptr};
    WAVEHDR m_Header[2]{};
    std::atomic<int> m_Busy[2]{};
    std::atomic<uint32_t> m_QueueSeq[2]{};
    std::atomic<uint32_t> m_NextSeq{0};
    CThread* m_pThread = nullptr;
};
