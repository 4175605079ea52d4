// Render over waveOut with event callbacks: two headers of `latency` ms filled
// by the listener, each refilled as the device hands it back (CMmeDriver holds
// the device, the headers and the worker). The volume operations act only on
// an open device.
//
// Threads: Open/Start/Stop/Close and the volume operations come from the
// engine's control thread; OnSoundOut and OnSoundEnd run on the worker.
#pragma once

#include "drivers/CRenderDriver.h"
#include "drivers/mme/CMmeDriver.h"

class CMMERenderer : public CMmeDriver<CRenderDriver, WaveOutApi, 2> {
  public:
    CMMERenderer() : CMmeDriver(1920) {}
    ~CMMERenderer() override;

    int Open(int channels, int samplesPerSec, int bitsPerSample, int latencyMs) override;
    void Close() override;
    int Start() override;
    int Stop() override;
    int32_t FindDevice(const wchar_t* name, const wchar_t* id) override {
        (void)id;
        return FindByName(name);
    }
    int GetVolume(uint16_t* left, uint16_t* right) override;
    int SetVolume(uint16_t left, uint16_t right) override;

  private:
    bool OnHeaderDone(int index) override;
    // Clears the buffer, asks the listener for a block and queues it.
    void FillHeader(int index);
};
