// Capture over waveIn with event callbacks: two headers in rotation and one
// worker thread from Open to Close that hands each returned header to the
// listener. Also the base of CWASAPICapture, which inherits the format, state,
// counter and position operations and overrides the device ones.
//
// Threads: every operation but the listener calls comes from the engine's
// control thread. The worker thread owns the headers while they are out of the
// device; a header is claimed (m_Busy) by whichever side fills or re-queues it,
// so Start and the worker never queue the same header twice. Handles are taken
// out with atomic exchanges so exactly one side closes each.
#pragma once

#include "drivers/CCaptureDriver.h"
#include "platform/Thread.h"

#include <windows.h>
#include <mmsystem.h>

#include <atomic>

class CMMECapture : public CCaptureDriver {
  public:
    CMMECapture();
    ~CMMECapture() override;

    int Init(CSoundListener* listener) override;
    int SelectDevice(int32_t index) override;
    int Open(int channels, int samplesPerSec, int bitsPerSample, int latencyMs) override;
    void Close() override;
    int Start() override;
    int Stop() override;
    int EnumDevice(int32_t index, AudioDeviceInfo* info) override;
    int32_t FindDevice(const wchar_t* name, const wchar_t* id, int loopback) override;
    int IsOpen() override;

  protected:
    // Collects a worker thread that has already ended on its own (after a
    // self-close), so the next Open starts from nothing.
    void CollectThread(CThread*& slot);
    bool OnWorkerThread(CThread* thread) const;

  private:
    void ThreadMain();
    void CloseMme();
    // Hands one returned header to the listener and queues it again.
    // Result: true when the listener asked the driver to stop.
    bool DeliverHeader(int index);

    std::atomic<HWAVEIN> m_hWaveIn{nullptr};
    std::atomic<HANDLE> m_hEvent{nullptr};
    WAVEHDR m_Header[2]{};
    std::atomic<int> m_Busy[2]{};
    // Order in which the headers went to the device: the worker hands them back
    // in that order even when both came back before it woke.
    std::atomic<uint32_t> m_QueueSeq[2]{};
    std::atomic<uint32_t> m_NextSeq{0};
    CThread* m_pThread = nullptr;
};
