// The capture path: the bounded block queue the capture driver fills, and the
// sound thread that converts each block to 16-bit, applies the capture gain and
// the effect chain, mixes the playback in and fills the record FIFO (through
// the record path) and the monitor FIFO.
//
// Caller and lock contract:
// - user-interface thread: SetDrivers, StartThread, RequestStop, Join,
//   Discard, Open, MarkStart, CreateMonitorFifo, ReleaseMonitorFifo and the
//   getters;
// - capture driver thread: Push (the queue's own lock; never waits, a full
//   queue drops the block and counts it);
// - render driver thread: ReadMonitor (the monitor FIFO's own lock);
// - sound thread (its own): everything private. It takes the queue's lock to
//   take and release a block, then, one at a time, the effect chain's, the
//   playback rings' (through CPlayPath) and the FIFOs' locks; none is held
//   while another is taken.
// The drivers are owned by CAudioControl; their pointers here are swapped by
// the user-interface thread only while no capture runs.
#pragma once

#include "drivers/AudioTypes.h"
#include "drivers/CCaptureDriver.h"
#include "drivers/CRenderDriver.h"
#include "engine/CFIFO.h"
#include "engine/CSoundBlockQueue.h"
#include "engine/EngineLinks.h"
#include "engine/EngineSwitches.h"
#include "platform/CEvent.h"
#include "platform/Thread.h"

#include <atomic>
#include <cstdint>
#include <vector>

class CPlayPath;
class CRecordPath;

class CCapturePath {
  public:
    static constexpr uint32_t MONITOR_FIFO_BYTES = 5242880;
    // Captured audio the sound thread may fall behind by before blocks are dropped.
    static constexpr uint32_t QUEUE_SECONDS = 3;

    CCapturePath(EngineSwitches& switches, EngineLinks& links, CPlayPath& play, CRecordPath& record)
        : m_Switches(switches), m_Links(links), m_Play(play), m_Record(record) {}
    ~CCapturePath();
    CCapturePath(const CCapturePath&) = delete;
    CCapturePath& operator=(const CCapturePath&) = delete;

    void SetDrivers(CCaptureDriver* capture, CRenderDriver* render) {
        m_pCapture = capture;
        m_pRender = render;
    }
    // Starts the sound thread and waits until it takes blocks.
    void StartThread();
    // Stops taking blocks and lets the sound thread end once the queue is empty.
    void RequestStop();
    void Join();
    void Discard() { m_Blocks.Discard(); }

    // Sets the capture gain, opens the capture device in the engine's format
    // and sizes the queue for it. False (device closed) when it cannot be
    // opened, delivers a format we cannot convert, or memory runs out.
    bool Open();
    void MarkStart();
    bool CreateMonitorFifo() { return m_MonitorFifo.Create(MONITOR_FIFO_BYTES) != 0; }
    void ReleaseMonitorFifo() { m_MonitorFifo.Release(); }

    void Push(const void* data, uint32_t bytes);
    uint32_t ReadMonitor(void* buffer, uint32_t bytes) { return m_MonitorFifo.Read(buffer, bytes); }

    bool IsLoopback() const {
        CCaptureDriver* capture = m_pCapture;
        return capture && capture->IsLoopback();
    }
    // No renderer, or a loopback source (whose render side is the mix itself).
    bool NoMonitorPath() const { return !m_pRender || IsLoopback(); }

    uint32_t GetMonitorFifoUsed() { return m_MonitorFifo.GetUsed(); }
    int64_t GetBlocksInFlight() const { return m_Blocks.GetInFlight(); }
    uint64_t GetDroppedBlocks() const { return m_Blocks.GetDropped(); }
    uint32_t GetStartTick() const { return m_StartTick.load(); }
    uint32_t GetLastBlockTick() const { return m_LastBlockTick.load(); }
    uint32_t GetQueueSlots() const { return m_Blocks.GetCapacity(); }
    uint32_t GetQueueSlotBytes() const { return m_Blocks.GetSlotBytes(); }
    uint32_t GetOverflowCount() const { return m_Overflows.load(); }

    void HoldForTest(bool hold) { m_Hold = hold; }

  private:
    void Thread();
    void ProcessIncoming(uint8_t* block, uint32_t bytes);
    void ProcessBlock(int16_t* block, uint32_t bytes, int captureChannels, int captureRate);
    void WriteMonitor(const void* data, uint32_t bytes);
    void WriteRecord(const void* data, uint32_t bytes);
    void MixPlayback(int16_t* out, const int16_t* in, uint32_t bytes, bool monitorRing);

    EngineSwitches& m_Switches;
    EngineLinks& m_Links;
    CPlayPath& m_Play;
    CRecordPath& m_Record;
    std::atomic<CCaptureDriver*> m_pCapture{nullptr};
    std::atomic<CRenderDriver*> m_pRender{nullptr};

    CThread* m_hThread = nullptr;
    std::atomic<int32_t> m_Accepting{0}; // non-zero once the sound thread takes blocks
    CSoundBlockQueue m_Blocks;
    CEvent m_Ready{true, false};
    std::atomic<bool> m_Hold{false};

    CFIFO m_MonitorFifo;
    // Sound thread scratch, kept between blocks.
    std::vector<int16_t> m_Convert, m_Doubled, m_Mixed, m_PlayTemp;

    std::atomic<int32_t> m_Gain{8}; // eighths, 1..80
    std::atomic<int32_t> m_Rate{0}; // what the open device delivers
    std::atomic<uint32_t> m_Overflows{0};
    std::atomic<uint32_t> m_StartTick{0};
    std::atomic<uint32_t> m_LastBlockTick{0};
};
