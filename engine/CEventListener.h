// What the engine tells the application. The engine holds a CAppEventListener
// pointer (not owned); the Windows application implements it by posting window
// messages (see CWindowEventListener for the shared part of that work).
#pragma once

#include <cstdint>

class CAppEventListener {
  public:
    virtual ~CAppEventListener() = default;
    // Record thread, about every 200 ms: the block just drained from the record
    // FIFO (also while not recording), for the level meter and the recorded time.
    virtual void OnRecordData(const void* samples, uint32_t bytes) = 0;
    // Render thread, every render callback: the buffer about to be played.
    virtual void OnPlayData(const void* buffer, uint32_t bytes) = 0;
    // Render or sound thread: the playback ring is empty and the play file is at
    // its end. Repeated on every callback until playback is stopped.
    virtual void OnPlayEnd() = 0;
    // Record thread: a write to the record file failed. The recording has been
    // stopped (state 0) and the file closed with a header for what was saved.
    // `path` is the file that failed (UTF-8).
    virtual void OnRecordError(const char* path, uint32_t savedFrames) {
        (void)path;
        (void)savedFrames;
    }
};
