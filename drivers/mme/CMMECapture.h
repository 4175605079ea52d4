// Capture over waveIn with event callbacks: headers of 1/30 s in rotation,
// each handed to the listener as it comes back and queued again (CMmeDriver
// holds the device, the headers and the worker).
//
// Threads: every operation but the listener calls comes from the engine's
// control thread; the listener is called on the worker. A listener that
// answers 1 makes the driver close itself from the worker.
#pragma once

#include "drivers/CCaptureDriver.h"
#include "drivers/mme/CMmeDriver.h"

// Sixteen headers: a block is handed on as soon as it is full, so more of them
// add no delay, but they keep the device recording for half a second while the
// worker is late. With two (66 ms), a worker held up longer lost audio.
class CMMECapture : public CMmeDriver<CCaptureDriver, WaveInApi, 16> {
  public:
    CMMECapture() : CMmeDriver(960) {}
    ~CMMECapture() override;

    int Open(int channels, int samplesPerSec, int bitsPerSample, int latencyMs) override;
    void Close() override;
    int Start() override;
    int Stop() override;
    int32_t FindDevice(const wchar_t* name, const wchar_t* id, int loopback) override {
        (void)id;
        return loopback ? -1 : FindByName(name);
    }

  private:
    bool OnHeaderDone(int index) override;
};
