// The playback path: the play file, the play thread that reads it, and the two
// rings it fills (the monitor ring for the speakers, the record ring for the
// recording, shaped by the play-file mode).
//
// Caller and lock contract:
// - user-interface thread: Allocate, Release, StartThread, RequestStop, Join,
//   Open, Begin, End, CloseFile, ClearRings and the getters;
// - play thread (its own): ProduceChunk, under m_FileLock;
// - sound thread and render driver thread: Take, Read and GetRingUsed (one
//   ring at a time).
// m_FileLock guards the play file, its layout and the play thread's buffers;
// the play thread holds it for one chunk and, inside it, takes a ring's own
// lock to write (End takes them the same way to clear). Nothing takes
// m_FileLock while holding a ring lock. The rings' locks are each held inside
// one ring operation only. Position, end flag and the delay and jump requests
// are atomics.
#pragma once

#include "engine/CEventListener.h"
#include "engine/EngineLinks.h"
#include "engine/EngineSwitches.h"
#include "engine/SampleOps.h"
#include "engine/SoundRing.h"
#include "media/CMediaFile.h"
#include "platform/CEvent.h"
#include "platform/Thread.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class CPlayPath {
  public:
    static constexpr uint32_t RING_BYTES = 480000;         // each playback ring
    static constexpr uint32_t WORK_BUFFER_BYTES = 1048576; // raw file bytes per chunk at most
    static constexpr uint32_t CHUNK_BYTES = 224000;        // output bytes per play chunk

    enum class Ring { Monitor, Record };

    CPlayPath(EngineSwitches& switches, EngineLinks& links) : m_Switches(switches), m_Links(links) {}
    ~CPlayPath();
    CPlayPath(const CPlayPath&) = delete;
    CPlayPath& operator=(const CPlayPath&) = delete;

    // Rings and buffers; false when memory runs out. Release frees them once
    // the play thread has been joined.
    bool Allocate();
    void Release();
    void StartThread(CAppEventListener* listener);
    void RequestStop();
    void Join();

    // Opens `path` (UTF-8) without playing it; 0 when a file is open already or
    // it cannot be played.
    int Open(const std::string& path);
    void Begin(int delaySeconds, int startSeconds);
    // Stops the play thread's use of the file, clears the rings and closes it.
    void End();
    void CloseFile();
    void ClearRings();

    // Reads up to `bytes` of a ring into `out` (sound or render thread). An
    // empty ring after the file's end tells the listener the play ended.
    uint32_t Take(Ring ring, void* out, uint32_t bytes);
    // Reads without looking for the end (drains the monitor ring unheard).
    uint32_t Read(Ring ring, void* out, uint32_t bytes) { return RingOf(ring).Read(out, bytes); }
    uint32_t GetRingUsed(Ring ring) { return RingOf(ring).GetUsed(); }

    bool HasFile() const { return m_FileOpen.load(); }
    uint32_t GetPosition() const { return m_Position.load(); }
    bool IsAtEnd() const { return m_AtEnd.load(); }
    // Bytes of output silence (16-bit stereo) one second of delay lasts.
    uint32_t GetBytesPerSecond() const {
        return static_cast<uint32_t>(m_Switches.m_PlayFrequency.load()) * 4u;
    }

  private:
    SoundRing& RingOf(Ring ring) { return ring == Ring::Monitor ? m_MonitorRing : m_RecordRing; }
    void Thread();
    void ProduceChunk();

    EngineSwitches& m_Switches;
    EngineLinks& m_Links;
    CAppEventListener* m_pListener = nullptr;

    CThread* m_hThread = nullptr;
    std::atomic<int32_t> m_bRun{0};
    CEvent m_Wake;

    SoundRing m_MonitorRing;
    SoundRing m_RecordRing;

    // ---- under m_FileLock
    std::mutex m_FileLock;
    std::unique_ptr<CMediaFile> m_pFile;
    sampleops::PcmLayout m_Layout;
    std::unique_ptr<uint8_t[]> m_pBuffer; // raw file bytes, WORK_BUFFER_BYTES
    std::vector<int16_t> m_Chunk, m_Shaped;

    std::atomic<bool> m_FileOpen{false};
    std::atomic<bool> m_AtEnd{false};
    std::atomic<uint32_t> m_Position{0};
    std::atomic<int64_t> m_DelayBytes{0};
    std::atomic<int32_t> m_JumpPos{-1};
};
