// The record path: the record FIFO the sound thread fills, the record thread
// that drains it into the record file, and the record state.
//
// Caller and lock contract:
// - user-interface thread: Allocate, Release, StartThread, RequestStop, Join,
//   Start, Resume, Pause, Stop, ResetState, FlushFifo, CloseFile and the getters;
// - sound thread: Push (the FIFO's own lock, inside one FIFO operation);
// - record thread (its own): Pass, which takes m_FileLock for the file write
//   and calls the listener after letting it go.
// m_FileLock guards the record file. Under it Pass may take the FIFO's lock
// (the second read at a stop) and the trace sink's; nothing takes m_FileLock
// while holding the FIFO's lock (a FIFO operation calls nothing). The state,
// frame count, rate and pass count are atomics: the state moves
// STOP -> RECORDING <-> PAUSED -> STOP_REQ -> STOP, the last step by the
// record thread (or by Stop after about 2 s), a write error straight to STOP.
#pragma once

#include "drivers/AudioTypes.h"
#include "engine/CEventListener.h"
#include "engine/CFIFO.h"
#include "engine/CRecordFileWriter.h"
#include "platform/CEvent.h"
#include "platform/Thread.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

// Record states. "Recording" tests look at bit 16 only.
enum : int32_t { REC_STOP = 0, REC_STOP_REQ = 1, REC_RECORDING = 16, REC_PAUSED = 24 };

class CRecordPath {
  public:
    static constexpr uint32_t FIFO_BYTES = 480000;
    static constexpr uint32_t WORK_BUFFER_BYTES = 1048576; // record thread buffer
    static constexpr uint32_t READ_BYTES = 524288;         // record FIFO bytes per pass
    static_assert(READ_BYTES + FIFO_BYTES <= WORK_BUFFER_BYTES, "a pass may read twice at a stop");

    CRecordPath() = default;
    ~CRecordPath();
    CRecordPath(const CRecordPath&) = delete;
    CRecordPath& operator=(const CRecordPath&) = delete;

    bool Allocate();
    void Release();
    void StartThread(CAppEventListener* listener);
    void RequestStop();
    void Join();

    // Creates `path` (UTF-8) in `format` with its half-second lead and starts
    // the take. 0 when a take runs or the file fails.
    int Start(const std::string& path, const WAVEFORMATEX& format);
    // Takes up a paused take again; false when none is paused.
    bool Resume();
    int Pause();
    // Lets the record thread write what is queued and close the file; 0 (and
    // the file removed) when the take holds no frames.
    int Stop();
    void ResetState() { m_State = REC_STOP; }
    void FlushFifo() { m_Fifo.Flush(); }
    void CloseFile();

    // Queues captured data (sound thread). True when the record thread had
    // fallen a whole FIFO behind, so older data was dropped.
    bool Push(const void* data, uint32_t bytes);

    int32_t GetState() const { return m_State.load(); }
    uint64_t GetRecordedFrames() const { return m_RecordedFrames.load(); }
    int32_t GetRate() const { return m_Rate.load(); }
    uint64_t GetPasses() const { return m_Passes.load(); }
    uint32_t GetFifoUsed() { return m_Fifo.GetUsed(); }
    int GetParts() const { return m_File.GetPartCount(); }
    const std::string& GetPath() const { return m_File.GetPath(); }

    void HoldForTest(bool hold) { m_Hold = hold; }
    CRecordFileWriter& FileForTest() { return m_File; }
    void Wake() { m_Wake.Set(); }

  private:
    void Thread();
    void Pass();

    CAppEventListener* m_pListener = nullptr;
    CThread* m_hThread = nullptr;
    std::atomic<int32_t> m_bRun{0};
    CEvent m_Wake;
    std::atomic<bool> m_Hold{false};

    CFIFO m_Fifo;
    std::unique_ptr<uint8_t[]> m_pBuffer; // record thread only, WORK_BUFFER_BYTES

    std::mutex m_FileLock;
    CRecordFileWriter m_File; // under m_FileLock

    std::atomic<int32_t> m_State{REC_STOP};
    std::atomic<bool> m_WriteOnStop{true};
    std::atomic<uint64_t> m_RecordedFrames{0};
    std::atomic<int32_t> m_Rate{0}; // the record file's rate
    std::atomic<uint64_t> m_Passes{0};
};
